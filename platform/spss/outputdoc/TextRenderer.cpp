#include "platform/spss/outputdoc/TextRenderer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/PrintableText.h"
#include "common/Utf8.h"
#include "platform/spss/outputdoc/CellText.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/RtfDocument.h"
#include "platform/spss/outputdoc/TableLayout.h"

namespace korvana::spss {

namespace {

// Width in characters of UTF-8 text: each character counts one, and so does
// each maximal ill-formed subpart (shown as one U+FFFD).
std::size_t displayWidth(const std::string& text) { return utf8::characterCount(text); }

std::string pad(const std::string& text, std::size_t width, bool right) {
  const std::size_t w = displayWidth(text);
  if (w >= width) return text;
  const std::string fill(width - w, ' ');
  return right ? fill + text : text + fill;
}

struct Field {
  std::string text;
  bool right = false;
  std::int32_t span = 1;  // columns covered (outer column labels)
};

std::string labelText(const PivotLabel& label) {
  std::string text = printableText(label.text);
  for (std::size_t f : label.footnotes) text += "[" + PivotTableModel::footnoteMarker(f) + "]";
  return text;
}

std::string trimRight(std::string line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

std::string tableText(const PivotTableModel& table) {
  const TableLayout layout = TableLayout::of(table);
  const std::int32_t labelColumns = layout.labelColumns();
  const std::size_t columns = static_cast<std::size_t>(labelColumns + table.columns());

  std::vector<std::vector<Field>> header;
  std::vector<std::vector<Field>> body;
  if (layout.columnOuter) {
    std::vector<Field> row(static_cast<std::size_t>(labelColumns));
    for (std::int32_t c = 0; c < table.columns(); ++c) {
      const std::int32_t span = layout.columnOuterSpan[static_cast<std::size_t>(c)];
      if (span > 0) row.push_back(Field{labelText(table.label(LabelArray::columns, 0, c)), false, span});
    }
    header.push_back(std::move(row));
  }
  if (layout.columnInner) {
    std::vector<Field> row(static_cast<std::size_t>(labelColumns));
    for (std::int32_t c = 0; c < table.columns(); ++c)
      row.push_back(Field{labelText(table.label(LabelArray::columns, 1, c)),
                          table.label(LabelArray::columns, 1, c).alignment == 1, 1});
    header.push_back(std::move(row));
  }
  for (std::int32_t r = 0; r < table.rows(); ++r) {
    std::vector<Field> row;
    if (layout.rowOuter)
      row.push_back(Field{layout.rowOuterSpan[static_cast<std::size_t>(r)] > 0
                              ? labelText(table.label(LabelArray::rows, r, 0))
                              : std::string(),
                          false, 1});
    if (layout.rowInner)
      row.push_back(Field{labelText(table.label(LabelArray::rows, r, 1)),
                          table.label(LabelArray::rows, r, 1).alignment == 1, 1});
    for (std::int32_t c = 0; c < table.columns(); ++c) {
      const PivotCell& cell = table.cell(r, c);
      const bool right = cell.alignment == 1 || (cell.alignment < 0 && readNumber(cell.value).has_value());
      row.push_back(Field{printableText(cellDisplayText(cell)), right, 1});
    }
    body.push_back(std::move(row));
  }

  // Column widths from the fields that cover one column; a spanning field
  // that does not fit widens the last column it covers.
  std::vector<std::size_t> widths(columns, 0);
  auto measure = [&](const std::vector<std::vector<Field>>& rows, bool spanning) {
    for (const auto& row : rows) {
      std::size_t column = 0;
      for (const Field& field : row) {
        const std::size_t span = static_cast<std::size_t>(field.span);
        if ((span == 1) != spanning) {
          if (span == 1) {
            widths[column] = std::max(widths[column], displayWidth(field.text));
          } else {
            std::size_t room = 2 * (span - 1);
            for (std::size_t k = 0; k < span; ++k) room += widths[column + k];
            const std::size_t need = displayWidth(field.text);
            if (need > room) widths[column + span - 1] += need - room;
          }
        }
        column += span;
      }
    }
  };
  measure(header, false);
  measure(body, false);
  measure(header, true);

  auto line = [&](const std::vector<Field>& row) {
    std::string out;
    std::size_t column = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
      const Field& field = row[i];
      const std::size_t span = static_cast<std::size_t>(field.span);
      std::size_t width = 2 * (span - 1);
      for (std::size_t k = 0; k < span; ++k) width += widths[column + k];
      if (i > 0) out += "  ";
      out += pad(field.text, width, field.right);
      column += span;
    }
    return trimRight(out) + "\n";
  };

  std::size_t total = 0;
  for (std::size_t w : widths) total += w;
  if (columns > 1) total += 2 * (columns - 1);
  const std::string title = printableText(table.title);
  total = std::max(total, displayWidth(title));
  const std::string rule = std::string(std::max<std::size_t>(total, 1), '-') + "\n";

  std::string out = title + "\n" + rule;
  if (!header.empty()) {
    for (const auto& row : header) out += line(row);
    out += rule;
  }
  for (const auto& row : body) out += line(row);
  out += rule;
  for (std::size_t f = 0; f < table.footnotes.size(); ++f)
    out += PivotTableModel::footnoteMarker(f) + ". " + printableText(table.footnotes[f]) + "\n";
  if (!table.caption.empty()) out += printableText(table.caption) + "\n";
  return out;
}

std::string renderText(const DocumentModel& document) {
  std::string all;
  renderText(document, [&all](std::string_view piece) { all += piece; });
  return all;
}

void renderText(const DocumentModel& document, const std::function<void(std::string_view)>& write) {
  bool first = true;
  for (std::size_t i = 0; i < document.count(); ++i) {
    const OutputItem& item = document.item(i);
    // A drawing has no text form; the text rendering leaves it out.
    if (item.kind == ItemKind::graphic) continue;
    std::string out;
    if (!first) out += "\n";
    first = false;
    if (!item.visible) out += "(hidden: " + item.label + ")\n";
    switch (item.kind) {
      case ItemKind::heading:
        out += std::string(static_cast<std::size_t>(std::max(item.level, 1)), '#') + " " + item.label + "\n";
        break;
      case ItemKind::table: out += tableText(*item.table); break;
      case ItemKind::graphic: break;
      case ItemKind::title:
      case ItemKind::log:
      case ItemKind::error: {
        if (item.kind == ItemKind::error) out += "Error:\n";
        std::optional<RtfDocument> rtf;
        if (item.richText && item.richTextReadable) rtf = RtfDocument::parse(*item.richText);
        if (rtf) {
          for (const RtfParagraph& paragraph : rtf->paragraphs) out += trimRight(paragraph.plainText()) + "\n";
        } else {
          std::string text = item.richText ? *item.richText : item.text;
          out += text;
          if (text.empty() || text.back() != '\n') out += "\n";
        }
        break;
      }
    }
    // Text from files (labels, names, paths in messages) cannot steer the
    // terminal this rendering is printed on.
    write(printableText(out, LineBreaks::keep));
  }
}

}  // namespace korvana::spss
