// The output document as plain text for a terminal: headings marked by their
// level, titles, tables with aligned columns, footnotes and captions, and
// rich text as lines (the dendrogram drawn with box-drawing characters); a
// graphic is one line naming it, "[graphic: <label>]".
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace korvana::spss {

class DocumentModel;
class PivotTableModel;

std::string renderText(const DocumentModel& document);
/// The same text handed to write item by item, so that a large document is
/// never held whole.
void renderText(const DocumentModel& document, const std::function<void(std::string_view)>& write);

/// One table: its title, a rule, the header rows, a rule, the data rows, a
/// rule, then the footnotes ("a. text") and the caption.
std::string tableText(const PivotTableModel& table);

}  // namespace korvana::spss
