// The text, JSON and HTML renderings of an output document.
#include <gtest/gtest.h>

#include <regex>

#include "ExampleOutput.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::spss {
namespace {

using korvana::automation::AutomationPtr;

PivotLabel label(const std::string& text, std::int32_t alignment = -1) {
  PivotLabel l;
  l.text = text;
  l.set = true;
  l.alignment = alignment;
  return l;
}

PivotCell cell(const std::string& value, std::optional<std::int32_t> decimals, const std::string& format = "") {
  PivotCell c;
  c.value = value;
  c.set = true;
  c.alignment = 1;
  c.decimals = decimals;
  c.numberFormat = format;
  return c;
}

// A small table written straight into the model: outer and inner labels on
// both dimensions, a footnote, a caption and formatted cells.
PivotTableModel smallTable() {
  PivotTableModel table(2, 2);
  table.title = "Stats";
  table.label(LabelArray::columns, 0, 0) = label("Fit");
  table.label(LabelArray::columns, 1, 0) = label("Value");
  table.label(LabelArray::columns, 1, 1) = label("Seed");
  table.label(LabelArray::rows, 0, 0) = label("Run");
  table.label(LabelArray::rows, 0, 1) = label(" 1", 1);
  table.label(LabelArray::rows, 1, 1) = label(" 2", 1);
  table.selectedLabel = LabelPosition{LabelArray::rows, 0, 1};
  table.addFootnoteToSelectedLabel("Identity permutation");
  table.cell(0, 0) = cell("5.0000000E-001", 6);
  table.cell(0, 1) = cell(" ", 0);
  table.cell(1, 0) = cell("1.234500000000E+003", std::nullopt, "#.##E+##");
  table.cell(1, 1) = cell("1804289383", 0);
  table.caption = "Note: a caption";
  return table;
}

TEST(TextRenderer, TableColumnsAlignWithSpansFootnotesAndCaption) {
  const std::string expected =
      "Stats\n"
      "--------------------------------\n"
      "            Fit\n"
      "            Value     Seed\n"
      "--------------------------------\n"
      "Run   1[a]  0.500000\n"
      "         2  1.23E+03  1804289383\n"
      "--------------------------------\n"
      "a. Identity permutation\n"
      "Note: a caption\n";
  EXPECT_EQ(tableText(smallTable()), expected);
}

TEST(TextRenderer, HiddenDimensionsDropTheirLabels) {
  PivotTableModel table = smallTable();
  table.showRowLabels = false;
  table.showColumnLabels = false;
  EXPECT_EQ(tableText(table),
            "Stats\n"
            "--------------------\n"
            "0.500000\n"
            "1.23E+03  1804289383\n"
            "--------------------\n"
            "a. Identity permutation\n"
            "Note: a caption\n");
}

// Labels and names come from files: no escape sequence, carriage return,
// line break inside a cell or bidirectional override reaches the terminal the
// text rendering is printed on, and the columns stay aligned.
TEST(TextRenderer, ControlAndBidiCharactersFromFilesAreBlanked) {
  DocumentModel model;
  PivotTableModel table = smallTable();
  table.title = "Stats\x1b]0;owned\x07";
  table.label(LabelArray::rows, 1, 1) = label("\x1b[31mred\nline\xE2\x80\xAE" "cba", 1);
  OutputItem item;
  item.kind = ItemKind::table;
  item.label = "Stats";
  item.table = std::make_unique<PivotTableModel>(table);
  model.insert(std::move(item));
  OutputItem log;
  log.kind = ItemKind::log;
  log.label = "Log";
  log.text = "PROXIMITIES a\r\x1b[2J,b.\nsecond line";
  model.insert(std::move(log));
  const std::string text = renderText(model);
  EXPECT_EQ(text.find_first_of("\x1b\r\x07"), std::string::npos) << text;
  EXPECT_EQ(text.find("\xE2\x80\xAE"), std::string::npos) << text;
  EXPECT_NE(text.find("Stats ]0;owned \n"), std::string::npos) << text;
  EXPECT_NE(text.find(" [31mred line cba  1.23E+03  1804289383\n"), std::string::npos) << text;
  EXPECT_NE(text.find("PROXIMITIES a  [2J,b.\nsecond line\n"), std::string::npos) << "a log keeps its lines: " << text;
}

class ExampleDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { example::writeExampleOutput(*doc); }
  AutomationPtr<OutputDocument> doc = OutputDocument::create();
};

TEST_F(ExampleDocumentTest, TextShowsTheOutlineTablesAndTree) {
  const std::string text = renderText(doc->model());
  EXPECT_EQ(text.rfind("# Output\n\n# Korvana\n\nKorvana\n\nCredit\n", 0), 0u) << text;
  EXPECT_NE(text.find("(hidden: Notes)\nNotes\n"), std::string::npos);
  // Labels padded to the widest (36), the integer cell right-aligned in the
  // widest cell's width (35).
  EXPECT_NE(text.find("      N of Rows in Working Data File" + std::string(2 + 34, ' ') + "5\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("## Ward Linkage\n"), std::string::npos);
  EXPECT_NE(text.find("a. Identity permutation\n"), std::string::npos);
  EXPECT_NE(text.find("Permutation   1[a]  3f2a9c0d5e6b7a8190c1d2e3f4a5b6c7  1.00E+01          0.062500"), std::string::npos) << text;
  EXPECT_NE(text.find("Note: The above entities are the object identifiers in the original proximity matrix\n"),
            std::string::npos);
  EXPECT_NE(text.find("           5   ───────┘\n"), std::string::npos);
}

TEST_F(ExampleDocumentTest, JsonHoldsTheWholeModel) {
  const nlohmann::json j = nlohmann::json::parse(renderJson(doc->model()));
  const auto& items = j.at("items");
  ASSERT_EQ(items.size(), 13u);
  std::vector<std::string> kinds;
  std::vector<int> levels;
  for (const auto& item : items) {
    kinds.push_back(item.at("kind"));
    levels.push_back(item.at("level"));
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"heading", "heading", "title", "table", "table", "heading", "title",
                                             "table", "heading", "title", "table", "title", "title"}));
  EXPECT_EQ(levels, (std::vector<int>{1, 1, 2, 2, 2, 2, 3, 3, 3, 4, 4, 4, 4}));
}

TEST_F(ExampleDocumentTest, JsonTablesCarryLabelsCellsAndFootnotes) {
  const nlohmann::json j = documentJson(doc->model());
  const auto& fit = j.at("items").at(7).at("table");
  EXPECT_EQ(fit.at("title"), "Permutation Fit");
  EXPECT_EQ(fit.at("columnLabels").at(0).at(0).at("text"), "Fit");
  EXPECT_EQ(fit.at("columnLabels").at(1).at(4).at("text"), "Random Seed");
  EXPECT_EQ(fit.at("rowLabels").at(0).at(1).at("footnotes"), nlohmann::json::array({"a"}));
  EXPECT_EQ(fit.at("rowLabels").at(1).at(1).at("footnotes"), nlohmann::json::array());
  EXPECT_EQ(fit.at("footnotes"), nlohmann::json::parse(R"([{"marker":"a","text":"Identity permutation"}])"));
  const auto& ssdif = fit.at("cells").at(2).at(1);
  EXPECT_EQ(ssdif.at("value"), "1.400000000000E+001");
  EXPECT_EQ(ssdif.at("shown"), "1.40E+01");
  EXPECT_EQ(ssdif.at("numberFormat"), "#.##E+##");
  EXPECT_EQ(ssdif.at("decimals"), nullptr);
  EXPECT_EQ(fit.at("cells").at(2).at(2).at("shown"), "0.087500");
  EXPECT_EQ(fit.at("columnWidths"), nlohmann::json::parse("[200,130,70,70,80]"));
  EXPECT_EQ(fit.at("updateScreen"), 1);

  const auto& credit = j.at("items").at(3);
  EXPECT_EQ(credit.at("table").at("cells").at(0).at(0).at("color"), 0xFF0000);
  EXPECT_EQ(credit.at("table").at("cells").at(0).at(0).at("size"), 14);
  EXPECT_EQ(credit.at("table").at("showColumnLabels"), false);
  EXPECT_EQ(j.at("items").at(4).at("visible"), false);
  EXPECT_EQ(j.at("items").at(4).at("table").at("rowLabels").at(0).at(1).at("width"), 173);

  const auto& dendrogram = j.at("items").at(12);
  EXPECT_EQ(dendrogram.at("label"), "Dendrogram");
  EXPECT_EQ(dendrogram.at("height"), 300);
  EXPECT_EQ(dendrogram.at("width"), 800);
  EXPECT_EQ(dendrogram.at("richText").at("readable"), true);
  EXPECT_EQ(dendrogram.at("richText").at("glyphs"), true);
  EXPECT_EQ(dendrogram.at("richText").at("rtf"), example::fiveObjectDendrogramRtf());
  EXPECT_EQ(dendrogram.at("richText").at("lines").size(), 16u);
  EXPECT_EQ(j.at("selected"), 1) << "the promoted heading stays selected";
}

TEST_F(ExampleDocumentTest, HtmlPageHasOutlineContentAndCollapsedHiddenItems) {
  const std::string html = renderHtml(doc->model());
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  const auto count = [&](const std::string& pattern) {
    const std::regex re(pattern);
    return std::distance(std::sregex_iterator(html.begin(), html.end(), re), std::sregex_iterator());
  };
  EXPECT_EQ(count("<li class=\"outline-item"), 13);
  EXPECT_EQ(count("<section class=\"item "), 13);
  EXPECT_EQ(count("<li class=\"outline-item kind-heading selected\" data-level=\"1\"[^>]*><span[^<]*</span><a href=\"#item-1\">Korvana</a>"), 1);
  EXPECT_EQ(count("<li class=\"outline-item kind-table hidden-item\" data-level=\"2\""), 1);
  EXPECT_EQ(count("<details class=\"hidden-item\"><summary>Notes \\(hidden\\)</summary>"), 1);
  EXPECT_EQ(count("<table class=\"pivot\">"), 4);
  EXPECT_EQ(count("<th class=\"outer column-label\" colspan=\"5\">Fit</th>"), 1);
  EXPECT_EQ(count("<th class=\"outer row-label\" rowspan=\"3\""), 1);
  EXPECT_EQ(count(" 1<sup class=\"footnote-marker\">a</sup></th>"), 1);
  EXPECT_EQ(count("<div class=\"footnote\"><sup class=\"footnote-marker\">a</sup> Identity permutation</div>"), 1);
  EXPECT_EQ(count("Ward&#39;s method"), 1) << "text is escaped";
  EXPECT_EQ(count("color:#0000ff;font-size:14pt"), 6) << "0xFF0000 is blue";
  EXPECT_EQ(count("<pre class=\"rich-text has-glyphs\">"), 1);
  EXPECT_EQ(count("<span class=\"glyphs\" style=\"font-size:10pt;\">─┬"), 1);
  EXPECT_EQ(count("style=\"width:800px;min-height:300px;\""), 1);
}

TEST(HtmlRenderer, UnreadableRichTextIsShownRaw) {
  DocumentModel model;
  OutputItem item;
  item.kind = ItemKind::title;
  item.label = "Broken";
  item.richText = "<not rtf>";
  item.richTextReadable = false;
  model.insert(std::move(item));
  const std::string html = renderHtml(model);
  EXPECT_NE(html.find("<pre class=\"raw-rtf\">&lt;not rtf&gt;</pre>"), std::string::npos);
  EXPECT_NE(renderText(model).find("<not rtf>\n"), std::string::npos);
}

// Each heading's fold holds the items that follow it at deeper levels: a
// later item at the heading's level or above closes it, whatever its kind.
TEST(HtmlRenderer, HeadingsFoldTheItemsBelowThemInTheOutline) {
  DocumentModel model;  // 0: the root heading, level 1
  const auto add = [&](ItemKind kind, const std::string& label) {
    OutputItem item;
    item.kind = kind;
    item.label = label;
    if (kind == ItemKind::table) item.table = std::make_unique<PivotTableModel>(1, 1);
    model.insert(std::move(item));
  };
  add(ItemKind::heading, "A");      // 1, level 2
  add(ItemKind::title, "under A");  // 2, level 3
  add(ItemKind::heading, "B");      // 3, level 3
  add(ItemKind::table, "under B");  // 4, level 4
  model.appendPackageItem(ItemKind::log, "Log", "text");  // 5, level 2
  add(ItemKind::heading, "C");      // 6, level 2: beside the log item
  model.appendPackageItem(ItemKind::error, "Error", "text");  // 7, level 2

  const std::string html = renderHtml(model);
  // The folds and items in page order: "[" opens a fold, "]" closes one.
  std::string outline;
  const std::regex token("<details class=\"fold\" open data-level=\"(\\d)\"><summary>|</details>|"
                         "<section class=\"item [^\"]*\" id=\"item-(\\d+)\"");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), token); it != std::sregex_iterator(); ++it) {
    if ((*it)[1].matched) outline += "[" + (*it)[1].str();
    else if ((*it)[2].matched) outline += " " + (*it)[2].str() + " ";
    else outline += "]";
  }
  EXPECT_EQ(outline, "[1 0 [2 1  2 [3 3  4 ]] 5 [2 6 ] 7 ]");
  EXPECT_NE(html.find("<details class=\"fold\" open data-level=\"2\"><summary><section class=\"item item-heading\" "
                      "id=\"item-1\" data-level=\"2\" style=\"margin-left:16px\"><div class=\"item-body\"><h2 "
                      "class=\"heading\">A</h2></div></section></summary>\n"),
            std::string::npos);
}

}  // namespace
}  // namespace korvana::spss
