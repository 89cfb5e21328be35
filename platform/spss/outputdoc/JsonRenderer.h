// The whole output document as JSON, for tools and tests.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace korvana::spss {

class DocumentModel;

/// {"visible", "current", "selected", "items": [...]}: every item with its
/// kind, label, level, visibility, size, text or rich text (raw and as
/// lines), and for tables every label, cell (value, shown text, alignment,
/// decimals, number format, colour, size), footnote, width and flag.
nlohmann::json documentJson(const DocumentModel& document);

std::string renderJson(const DocumentModel& document);

}  // namespace korvana::spss
