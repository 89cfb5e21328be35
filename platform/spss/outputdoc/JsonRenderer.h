// The whole output document as JSON, for tools and tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace korvana::spss {

class DocumentModel;

/// {"visible", "current", "selected", "items": [...]}: every item with its
/// kind, label, level, visibility, size, text or rich text (raw and as
/// lines), a graphic's SVG text, and for tables every label, cell (value, shown text, alignment,
/// decimals, number format, colour, size), footnote, width and flag.
nlohmann::json documentJson(const DocumentModel& document);

/// documentJson indented by two, and a line end.
std::string renderJson(const DocumentModel& document);
/// The same text handed to write in pieces, so that it is never held whole.
void renderJson(const DocumentModel& document, const std::function<void(std::string_view)>& write);

}  // namespace korvana::spss
