#include "platform/spss/outputdoc/JsonRenderer.h"

#include <algorithm>
#include <functional>
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

/// A table as JSON; with `withRows` false its cells and row labels are left
/// out (the streaming writer writes them a row at a time).
json tableJson(const PivotTableModel& table, bool withRows = true) {
  json rowLabels = json::array();
  for (std::int32_t r = 0; withRows && r < table.rows(); ++r)
    rowLabels.push_back(json::array({labelJson(table.label(LabelArray::rows, r, 0)),
                                     labelJson(table.label(LabelArray::rows, r, 1))}));
  json columnLabels = json::array();
  for (std::int32_t k = 0; k < 2; ++k) {
    json row = json::array();
    for (std::int32_t c = 0; c < table.columns(); ++c) row.push_back(labelJson(table.label(LabelArray::columns, k, c)));
    columnLabels.push_back(row);
  }
  json cells = json::array();
  for (std::int32_t r = 0; withRows && r < table.rows(); ++r) {
    json row = json::array();
    for (std::int32_t c = 0; c < table.columns(); ++c) row.push_back(cellJson(table.cell(r, c)));
    cells.push_back(row);
  }
  json footnotes = json::array();
  for (std::size_t f = 0; f < table.footnotes.size(); ++f)
    footnotes.push_back({{"marker", PivotTableModel::footnoteMarker(f)}, {"text", table.footnotes[f]}});
  json widths = json::array();
  for (const auto& w : table.columnWidths) widths.push_back(optionalJson(w));
  json result{{"title", table.title},
              {"rows", table.rows()},
              {"columns", table.columns()},
              {"showRowLabels", table.showRowLabels},
              {"showColumnLabels", table.showColumnLabels},
              {"updateScreen", table.updateScreen},
              {"autofitted", table.autofitted},
              {"dataCellWidth", optionalJson(table.dataCellWidth)},
              {"columnWidths", widths},
              {"columnLabels", columnLabels},
              {"footnotes", footnotes},
              {"caption", table.caption}};
  if (withRows) {
    result["rowLabels"] = std::move(rowLabels);
    result["cells"] = std::move(cells);
  }
  return result;
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


/// An item as JSON; with `withTable` false its table is left out (the
/// streaming writer writes it on its own).
json itemJson(const OutputItem& item, std::size_t index, bool withTable) {
  json j{{"index", index},
         {"kind", std::string(itemKindName(item.kind))},
         {"label", item.label},
         {"level", item.level},
         {"visible", item.visible},
         {"height", optionalJson(item.height)},
         {"width", optionalJson(item.width)}};
  if (item.canHoldText()) j["text"] = item.text;
  if (item.richText) j["richText"] = richTextJson(item);
  if (item.kind == ItemKind::graphic) j["svg"] = item.svg;
  if (withTable && item.table) j["table"] = tableJson(*item.table);
  return j;
}

/// Writes JSON exactly as nlohmann's dump(2) lays it out, but a piece at a
/// time: objects with their keys in sorted order, one member a line, nested
/// values indented by two spaces a level, empty ones as [] and {}.
class PrettyWriter {
 public:
  using Member = std::pair<std::string, std::function<void(int depth)>>;

  explicit PrettyWriter(std::ostream& out) : out_(out) {}

  /// A value built in memory, at the given depth.
  void value(const json& j, int depth) {
    const std::string text = j.dump(2);
    const std::string indent(static_cast<std::size_t>(2 * depth), ' ');
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
      out_.write(text.data() + start, static_cast<std::streamsize>(end - start + 1));
      out_ << indent;
      start = end + 1;
    }
    out_.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
  }

  /// An object whose members, given in sorted key order, write themselves.
  void object(int depth, const std::vector<Member>& members) {
    if (members.empty()) {
      out_ << "{}";
      return;
    }
    out_ << "{\n";
    for (std::size_t m = 0; m < members.size(); ++m) {
      indent(depth + 1);
      out_ << json(members[m].first).dump() << ": ";
      members[m].second(depth + 1);
      out_ << (m + 1 < members.size() ? ",\n" : "\n");
    }
    indent(depth);
    out_ << '}';
  }

  /// An array of `count` elements, element i written by `element`.
  void array(int depth, std::size_t count, const std::function<void(std::size_t, int)>& element) {
    if (count == 0) {
      out_ << "[]";
      return;
    }
    out_ << "[\n";
    for (std::size_t i = 0; i < count; ++i) {
      indent(depth + 1);
      element(i, depth + 1);
      out_ << (i + 1 < count ? ",\n" : "\n");
    }
    indent(depth);
    out_ << ']';
  }

 private:
  void indent(int depth) {
    for (int i = 0; i < depth; ++i) out_ << "  ";
  }
  std::ostream& out_;
};

/// A table with its rows streamed: the members of tableJson, in key order.
void writeTable(PrettyWriter& writer, const PivotTableModel& table, int depth) {
  json small = tableJson(table, false);
  std::vector<PrettyWriter::Member> members;
  for (auto& [key, member] : small.items()) {
    const json* value = &member;
    members.emplace_back(key, [&writer, value](int d) { writer.value(*value, d); });
  }
  const auto rows = static_cast<std::size_t>(std::max(table.rows(), 0));
  members.emplace_back("cells", [&](int d) {
    writer.array(d, rows, [&](std::size_t r, int rowDepth) {
      json row = json::array();
      for (std::int32_t c = 0; c < table.columns(); ++c)
        row.push_back(cellJson(table.cell(static_cast<std::int32_t>(r), c)));
      writer.value(row, rowDepth);
    });
  });
  members.emplace_back("rowLabels", [&](int d) {
    writer.array(d, rows, [&](std::size_t r, int rowDepth) {
      const auto row = static_cast<std::int32_t>(r);
      writer.value(json::array({labelJson(table.label(LabelArray::rows, row, 0)),
                                labelJson(table.label(LabelArray::rows, row, 1))}),
                   rowDepth);
    });
  });
  std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  writer.object(depth, members);
}

void writeItem(PrettyWriter& writer, const OutputItem& item, std::size_t index, int depth) {
  const json small = itemJson(item, index, false);
  std::vector<PrettyWriter::Member> members;
  for (auto& [key, member] : small.items()) {
    const json* value = &member;
    members.emplace_back(key, [&writer, value](int d) { writer.value(*value, d); });
  }
  if (item.table) members.emplace_back("table", [&](int d) { writeTable(writer, *item.table, d); });
  std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  writer.object(depth, members);
}

}  // namespace

nlohmann::json documentJson(const DocumentModel& document) {
  json items = json::array();
  for (std::size_t i = 0; i < document.count(); ++i) items.push_back(itemJson(document.item(i), i, true));
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
  WriterBuffer buffer(write);
  std::ostream out(&buffer);
  out.exceptions(std::ios::badbit);  // a failing write travels on as it was thrown
  PrettyWriter writer(out);
  // The text of documentJson(document).dump(2), written item by item and
  // table row by table row, so that no more than one row is held as JSON.
  writer.object(0, {{"current", [&](int depth) { writer.value(optionalJson(document.current()), depth); }},
                    {"items",
                     [&](int depth) {
                       writer.array(depth, document.count(), [&](std::size_t i, int itemDepth) {
                         writeItem(writer, document.item(i), i, itemDepth);
                       });
                     }},
                    {"selected", [&](int depth) { writer.value(optionalJson(document.selected()), depth); }},
                    {"visible", [&](int depth) { writer.value(json(document.visible), depth); }}});
  out << '\n';
  out.flush();
}

}  // namespace korvana::spss
