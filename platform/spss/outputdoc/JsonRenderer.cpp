#include "platform/spss/outputdoc/JsonRenderer.h"

#include <iomanip>
#include <ostream>
#include <streambuf>
#include <vector>

#include "platform/spss/outputdoc/CellText.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/RtfDocument.h"

namespace korvana::spss {

namespace {

using nlohmann::json;

template <class T>
json optionalJson(const std::optional<T>& value) {
  return value ? json(*value) : json(nullptr);
}

json labelJson(const PivotLabel& label) {
  if (!label.set && label.footnotes.empty() && !label.width && label.alignment < 0 && label.style == 0) return nullptr;
  json markers = json::array();
  for (std::size_t f : label.footnotes) markers.push_back(PivotTableModel::footnoteMarker(f));
  return json{{"text", label.text},
              {"alignment", label.alignment < 0 ? json(nullptr) : json(label.alignment)},
              {"style", label.style},
              {"width", optionalJson(label.width)},
              {"footnotes", markers}};
}

json cellJson(const PivotCell& cell) {
  if (!cell.set) return nullptr;
  return json{{"value", cell.value},
              {"shown", cellDisplayText(cell)},
              {"alignment", cell.alignment < 0 ? json(nullptr) : json(cell.alignment)},
              {"decimals", optionalJson(cell.decimals)},
              {"numberFormat", cell.numberFormat.empty() ? json(nullptr) : json(cell.numberFormat)},
              {"color", optionalJson(cell.color)},
              {"size", optionalJson(cell.points)}};
}

json tableJson(const PivotTableModel& table) {
  json rowLabels = json::array();
  for (std::int32_t r = 0; r < table.rows(); ++r)
    rowLabels.push_back(json::array({labelJson(table.label(LabelArray::rows, r, 0)),
                                     labelJson(table.label(LabelArray::rows, r, 1))}));
  json columnLabels = json::array();
  for (std::int32_t k = 0; k < 2; ++k) {
    json row = json::array();
    for (std::int32_t c = 0; c < table.columns(); ++c) row.push_back(labelJson(table.label(LabelArray::columns, k, c)));
    columnLabels.push_back(row);
  }
  json cells = json::array();
  for (std::int32_t r = 0; r < table.rows(); ++r) {
    json row = json::array();
    for (std::int32_t c = 0; c < table.columns(); ++c) row.push_back(cellJson(table.cell(r, c)));
    cells.push_back(row);
  }
  json footnotes = json::array();
  for (std::size_t f = 0; f < table.footnotes.size(); ++f)
    footnotes.push_back({{"marker", PivotTableModel::footnoteMarker(f)}, {"text", table.footnotes[f]}});
  json widths = json::array();
  for (const auto& w : table.columnWidths) widths.push_back(optionalJson(w));
  return json{{"title", table.title},
              {"rows", table.rows()},
              {"columns", table.columns()},
              {"showRowLabels", table.showRowLabels},
              {"showColumnLabels", table.showColumnLabels},
              {"updateScreen", table.updateScreen},
              {"autofitted", table.autofitted},
              {"dataCellWidth", optionalJson(table.dataCellWidth)},
              {"columnWidths", widths},
              {"rowLabels", rowLabels},
              {"columnLabels", columnLabels},
              {"cells", cells},
              {"footnotes", footnotes},
              {"caption", table.caption}};
}

json richTextJson(const OutputItem& item) {
  json lines = json::array();
  std::optional<RtfDocument> rtf = item.richTextReadable ? RtfDocument::parse(*item.richText) : std::nullopt;
  if (rtf)
    for (const RtfParagraph& p : rtf->paragraphs) lines.push_back(p.plainText());
  return json{{"rtf", *item.richText},
              {"readable", item.richTextReadable},
              {"glyphs", rtf ? rtf->hasGlyphs() : false},
              {"lines", lines}};
}

// A stream buffer that hands what is written to a writer, 64 KiB at a time.
class WriterBuffer : public std::streambuf {
 public:
  explicit WriterBuffer(const std::function<void(std::string_view)>& write) : write_(write), buffer_(64 * 1024) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }

 protected:
  int_type overflow(int_type c) override {
    pass();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    pass();
    return 0;
  }

 private:
  void pass() {
    write_(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }

  const std::function<void(std::string_view)>& write_;
  std::vector<char> buffer_;
};

}  // namespace

nlohmann::json documentJson(const DocumentModel& document) {
  json items = json::array();
  for (std::size_t i = 0; i < document.count(); ++i) {
    const OutputItem& item = document.item(i);
    json j{{"index", i},
           {"kind", std::string(itemKindName(item.kind))},
           {"label", item.label},
           {"level", item.level},
           {"visible", item.visible},
           {"height", optionalJson(item.height)},
           {"width", optionalJson(item.width)}};
    if (item.canHoldText()) j["text"] = item.text;
    if (item.richText) j["richText"] = richTextJson(item);
    if (item.table) j["table"] = tableJson(*item.table);
    items.push_back(std::move(j));
  }
  return json{{"visible", document.visible},
              {"current", optionalJson(document.current())},
              {"selected", optionalJson(document.selected())},
              {"items", items}};
}

std::string renderJson(const DocumentModel& document) {
  std::string all;
  renderJson(document, [&all](std::string_view piece) { all += piece; });
  return all;
}

void renderJson(const DocumentModel& document, const std::function<void(std::string_view)>& write) {
  // The stream form of dump(2): a width of 2 is the indentation.
  WriterBuffer buffer(write);
  std::ostream out(&buffer);
  out.exceptions(std::ios::badbit);  // a failing write travels on as it was thrown
  out << std::setw(2) << documentJson(document) << '\n';
  out.flush();
}

}  // namespace korvana::spss
