// The output document as one self-contained HTML page: an outline pane with
// every item at its level, and a content pane with headings, titles, tables,
// rich text and graphics (SVG, inline). Hidden items are collapsed but can be
// opened. Each heading can be folded, together with the items below it in the
// outline, by a click on it (<details open>, no script).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace korvana::spss {

class DocumentModel;
struct RtfDocument;

std::string renderHtml(const DocumentModel& document);
/// The same page handed to write item by item, so that a large document is
/// never held whole.
void renderHtml(const DocumentModel& document, const std::function<void(std::string_view)>& write);

/// A rich-text document as an HTML block (<pre class="rich-text">); a
/// document that draws with the marker font gets the class "has-glyphs".
std::string richTextHtml(const RtfDocument& rtf);

}  // namespace korvana::spss
