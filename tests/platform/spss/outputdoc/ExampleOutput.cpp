#include "ExampleOutput.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <vector>

#include "SPSS/Spsspvt_tlb.h"
#include "SPSS/Spssrtf_tlb.h"
#include "common/ScientificFormat.h"

namespace korvana::spss::example {

using korvana::automation::AutomationPtr;
using korvana::automation::HRESULT;
using korvana::automation::succeeded;

namespace {

const std::string rtfHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl{\\f0\\fmodern\\fprq1 Courier New;}"
    "{\\f1\\fnil\\fcharset2 SPSS Marker Set;}{\\f2\\fswiss\\fcharset0 Arial;}}"
    "{\\colortbl\\red0\\green0\\blue0;}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs20 ";

// Rich text of the nine cell states, indexed by state.
const std::array<std::string, 10> cellRtf = {"",
                                             "\\'f2\\'f8",
                                             "\\'f2\\'fb",
                                             "\\'f2\\'f7",
                                             "\\'f2\\'fa",
                                             "\\'f2\\'f4",
                                             "\\f0  \\f1\\'f3",
                                             "\\f0  \\f1\\'f9",
                                             "\\'f2\\'f2",
                                             "\\f0   \\f1"};

#define EXPECT_OK(call)                    \
  do {                                     \
    const HRESULT hr_ = (call);            \
    ASSERT_TRUE(succeeded(hr_)) << #call;  \
  } while (false)

std::string field(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void activateTable(Spsswin_tlb::ISpssOutputDoc& doc, std::int32_t index, AutomationPtr<Spsswin_tlb::ISpssItem>& item,
                   AutomationPtr<Spsspvt_tlb::ISpssPivotTable>& table) {
  AutomationPtr<Spsswin_tlb::ISpssItems> items;
  EXPECT_OK(doc.get_Items(items.put()));
  EXPECT_OK(items->GetItem(index, item.put()));
  EXPECT_OK(item->ActivateTable(table.put()));
}

void promoteToLevel(Spsswin_tlb::ISpssOutputDoc& doc, std::int32_t index, std::int32_t level) {
  AutomationPtr<Spsswin_tlb::ISpssItems> items;
  AutomationPtr<Spsswin_tlb::ISpssItem> item;
  EXPECT_OK(doc.get_Items(items.put()));
  EXPECT_OK(items->GetItem(index, item.put()));
  EXPECT_OK(item->put_Selected(1));
  std::int32_t current = 0;
  EXPECT_OK(item->get_Level(&current));
  while (current > level) {
    EXPECT_OK(doc.Promote());
    EXPECT_OK(item->get_Level(&current));
  }
}

void prepare(Spsswin_tlb::ISpssOutputDoc& doc) {
  AutomationPtr<Spsswin_tlb::ISpssItems> items;
  EXPECT_OK(doc.get_Items(items.put()));
  std::int32_t count = 0;
  EXPECT_OK(items->get_Count(&count));
  for (std::int32_t i = 0; i < count; ++i) {
    AutomationPtr<Spsswin_tlb::ISpssItem> item;
    EXPECT_OK(items->GetItem(i, item.put()));
    EXPECT_OK(item->Deactivate());
    if (i == count - 1) EXPECT_OK(item->put_Current(1));
  }
}

void creditTable(Spsswin_tlb::ISpssOutputDoc& doc) {
  std::int32_t index = -1;
  EXPECT_OK(doc.InsertTable("Credit", 6, 1, 1, &index));
  AutomationPtr<Spsswin_tlb::ISpssItem> item;
  AutomationPtr<Spsspvt_tlb::ISpssPivotTable> table;
  activateTable(doc, index, item, table);
  AutomationPtr<Spsspvt_tlb::ISpssPivotMgr> manager;
  AutomationPtr<Spsspvt_tlb::ISpssDimension> columns;
  EXPECT_OK(table->PivotManager(manager.put()));
  EXPECT_OK(manager->get_ColumnDimension(0, columns.put()));
  columns->put_ShowLabels(0);
  table->put_UpdateScreen(0);
  table->put_TitleText("Credit");
  AutomationPtr<Spsspvt_tlb::ISpssDataCells> cells;
  EXPECT_OK(table->DataCellArray(cells.put()));
  const char* lines[] = {"Korvana", "Version 1.0.0.39", "by", "Department of Example Studies",
                         "Faculty of Sample Sciences", "Example University, Netherlands"};
  for (std::int32_t r = 0; r < 6; ++r) {
    cells->put_ValueAt(r, 0, lines[r]);
    cells->put_HAlignAt(r, 0, 0);
    cells->put_TextColorAt(r, 0, 0xFF0000);
    cells->put_TextSizeAt(r, 0, 14);
  }
  table->put_DataCellWidth(360);
  table->put_UpdateScreen(1);
  EXPECT_OK(item->Deactivate());
  item->put_Visible(1);
}

void notesTable(Spsswin_tlb::ISpssOutputDoc& doc) {
  struct Row {
    const char* label;
    bool group;
    const char* cell;
    std::int32_t alignment;
    bool integer;
  };
  const Row rows[] = {{"Output Created", true, "12/03/2024 10:15:42", 1, false},
                      {"Input", true, " ", 0, false},
                      {"Data", false, "/data/survey.sav", 0, false},
                      {"Filter", false, "<none>", 0, false},
                      {"Weight", false, "<none>", 0, false},
                      {"Split File", false, "<none>", 0, false},
                      {"N of Rows in Working Data File", false, "5", 1, true},
                      {"General", true, " ", 0, false},
                      {"Cluster Method", false, "Ward's method", 0, false},
                      {"View", false, "cases", 0, false},
                      {"Number of Permutations", false, "100", 1, true},
                      {"Analysis Type", false, "analyze data", 0, false},
                      {"Proximities Syntax", false, "PROXIMITIES v1 v2 /MEASURE=SEUCLID.", 0, false},
                      {"Options", true, " ", 0, false},
                      {"First Permutation is Identity", false, "yes", 0, false},
                      {"Start Seed", false, "20240312", 1, true},
                      {"Permutation Fit Table Filename", false, "<none>", 0, false}};
  std::int32_t index = -1;
  EXPECT_OK(doc.InsertTable("Notes", 17, 1, 1, &index));
  AutomationPtr<Spsswin_tlb::ISpssItem> item;
  AutomationPtr<Spsspvt_tlb::ISpssPivotTable> table;
  activateTable(doc, index, item, table);
  AutomationPtr<Spsspvt_tlb::ISpssPivotMgr> manager;
  AutomationPtr<Spsspvt_tlb::ISpssDimension> columns;
  EXPECT_OK(table->PivotManager(manager.put()));
  EXPECT_OK(manager->get_ColumnDimension(0, columns.put()));
  columns->put_ShowLabels(0);
  table->put_UpdateScreen(0);
  table->put_TitleText("Notes");
  AutomationPtr<Spsspvt_tlb::ISpssLabels> labels;
  AutomationPtr<Spsspvt_tlb::ISpssDataCells> cells;
  EXPECT_OK(table->RowLabelArray(labels.put()));
  EXPECT_OK(table->DataCellArray(cells.put()));
  for (std::int32_t r = 0; r < 17; ++r) {
    const Row& row = rows[r];
    labels->put_ValueAt(r, 1, row.group ? std::string(row.label) : "      " + std::string(row.label));
    labels->put_TextAlignmentAt(r, 1, 0);
    if (row.group) labels->put_TextStyleAt(r, 1, 2);
    if (r == 0) labels->put_WidthAt(r, 1, 173);
    cells->put_ValueAt(r, 0, row.cell);
    cells->put_HAlignAt(r, 0, row.alignment);
    if (row.integer) cells->put_HDecimalDigitsAt(r, 0, 0);
  }
  table->put_DataCellWidth(162);
  table->put_UpdateScreen(1);
  EXPECT_OK(item->Deactivate());
  item->put_Visible(0);
}

void permutationFitTable(Spsswin_tlb::ISpssOutputDoc& doc) {
  const double normalized[] = {0.0625, 0.0625, 0.0875};
  const double correlation[] = {0.93125, 0.93125, 0.90250};
  const char* ids[] = {"3f2a9c0d5e6b7a8190c1d2e3f4a5b6c7", "3f2a9c0d5e6b7a8190c1d2e3f4a5b6c7",
                       "a0b1c2d3e4f5061728394a5b6c7d8e9f"};
  const std::int32_t seeds[] = {0, 1804289383, 846930886};
  const double sumOfSquares = 160.0;
  std::int32_t index = -1;
  EXPECT_OK(doc.InsertTable("Permutation Fit", 3, 5, 1, &index));
  AutomationPtr<Spsswin_tlb::ISpssItem> item;
  AutomationPtr<Spsspvt_tlb::ISpssPivotTable> table;
  activateTable(doc, index, item, table);
  table->put_UpdateScreen(0);
  table->put_TitleText("Permutation Fit");
  AutomationPtr<Spsspvt_tlb::ISpssLabels> rowLabels;
  AutomationPtr<Spsspvt_tlb::ISpssLabels> columnLabels;
  AutomationPtr<Spsspvt_tlb::ISpssDataCells> cells;
  EXPECT_OK(table->RowLabelArray(rowLabels.put()));
  EXPECT_OK(table->ColumnLabelArray(columnLabels.put()));
  EXPECT_OK(table->DataCellArray(cells.put()));
  rowLabels->put_ValueAt(0, 0, "Permutation");
  rowLabels->put_WidthAt(0, 0, 65);
  const char* headers[] = {"Solution ID", "SSDif", "Normalized SSDif", "Cophenetic Correlation", "Random Seed"};
  columnLabels->put_ValueAt(0, 0, "Fit");
  for (std::int32_t c = 0; c < 5; ++c) columnLabels->put_ValueAt(1, c, headers[c]);
  for (std::int32_t i = 0; i < 3; ++i) {
    rowLabels->put_ValueAt(i, 1, " " + std::to_string(i + 1));
    rowLabels->put_TextAlignmentAt(i, 1, 1);
    rowLabels->put_WidthAt(i, 1, 65);
    cells->put_ValueAt(i, 0, ids[i]);
    cells->put_HAlignAt(i, 0, 0);
    cells->put_HDecimalDigitsAt(i, 0, 0);
    cells->put_ValueAt(i, 1, korvana::formatScientific(normalized[i] * sumOfSquares, 13));
    cells->put_HAlignAt(i, 1, 1);
    cells->put_NumericFormatAt(i, 1, "#.##E+##");
    cells->put_ValueAt(i, 2, korvana::formatScientific(normalized[i], 8));
    cells->put_HAlignAt(i, 2, 1);
    cells->put_HDecimalDigitsAt(i, 2, 6);
    cells->put_ValueAt(i, 3, korvana::formatScientific(correlation[i], 8));
    cells->put_HAlignAt(i, 3, 1);
    cells->put_HDecimalDigitsAt(i, 3, 6);
    cells->put_ValueAt(i, 4, i == 0 ? std::string(" ") : std::to_string(seeds[i]));
    cells->put_HAlignAt(i, 4, 1);
    cells->put_HDecimalDigitsAt(i, 4, 0);
  }
  EXPECT_OK(rowLabels->SelectLabelAt(0, 1));
  EXPECT_OK(table->put_FootnoteOnSelectedLabel("Identity permutation"));
  const std::int32_t widths[] = {200, 130, 70, 70, 80};
  for (std::int32_t c = 0; c < 5; ++c) cells->put_ColumnWidthAt(c, widths[c]);
  table->put_UpdateScreen(1);
  EXPECT_OK(item->Deactivate());
}

void objectOrderTable(Spsswin_tlb::ISpssOutputDoc& doc) {
  std::int32_t index = -1;
  EXPECT_OK(doc.InsertTable("Object Order", 1, 1, 1, &index));
  AutomationPtr<Spsswin_tlb::ISpssItem> item;
  AutomationPtr<Spsspvt_tlb::ISpssPivotTable> table;
  activateTable(doc, index, item, table);
  AutomationPtr<Spsspvt_tlb::ISpssPivotMgr> manager;
  AutomationPtr<Spsspvt_tlb::ISpssDimension> rows;
  AutomationPtr<Spsspvt_tlb::ISpssDimension> columns;
  EXPECT_OK(table->PivotManager(manager.put()));
  EXPECT_OK(manager->get_RowDimension(0, rows.put()));
  EXPECT_OK(manager->get_ColumnDimension(0, columns.put()));
  rows->put_ShowLabels(0);
  columns->put_ShowLabels(1);
  table->put_UpdateScreen(0);
  table->put_TitleText("Object Order");
  table->put_Caption("Note: The above entities are the object identifiers in the original proximity matrix");
  AutomationPtr<Spsspvt_tlb::ISpssDataCells> cells;
  EXPECT_OK(table->DataCellArray(cells.put()));
  cells->put_ValueAt(0, 0, "1, 2, 3, 4, 5");
  cells->put_HAlignAt(0, 0, 0);
  table->put_DataCellWidth(425);
  table->put_UpdateScreen(1);
  EXPECT_OK(item->Deactivate());
}

void insertHeadingAndTitle(Spsswin_tlb::ISpssOutputDoc& doc, const std::string& text, std::int32_t* heading) {
  std::int32_t title = -1;
  EXPECT_OK(doc.InsertHeading(text, heading));
  EXPECT_OK(doc.InsertTitle("Title", text, &title));
}

}  // namespace

std::string rtfText(const std::string& text) { return rtfHeader + text + "\\par }"; }

std::string fiveObjectDendrogramRtf() {
  // Cell states per display row (objects 1 to 5), columns 0 to 24.
  std::vector<std::array<int, 25>> grid(5);
  for (auto& row : grid) row.fill(9);
  auto line = [&](int row, int from, int to, int endState) {
    for (int c = from; c < to; ++c) grid[row][c] = 8;
    grid[row][to] = endState;
  };
  line(0, 0, 0, 1);
  line(1, 0, 0, 3);    // stage 1: objects 1 and 2 at column 0
  line(3, 0, 3, 1);
  line(4, 0, 3, 3);    // stage 2: objects 4 and 5 at column 3
  line(2, 0, 10, 1);
  grid[3][3] = 2;
  line(3, 4, 10, 3);   // stage 3: object 3 joins (4, 5) at column 10
  grid[0][0] = 2;
  line(0, 1, 24, 1);
  grid[2][10] = 2;
  line(2, 11, 24, 3);
  grid[1][24] = 6;     // stage 4: the vertical passes row 2 (object 2)

  std::string rtf = rtfHeader;
  rtf += "* * * * * * H I E R A R C H I C A L  C L U S T E R   A N A L Y S I S * * * * * *\\par \\par \\par ";
  rtf += " Dendrogram using Ward Linkage\\par \\par ";
  rtf += "                      Rescaled Distance Cluster Combine\\par \\par ";
  const std::size_t labelWidth = 5;
  const std::size_t half = (labelWidth - 3) / 2;
  rtf += "  " + field("", half) + field("C A S E ", labelWidth + 5 - half) +
         "  0         5        10        15        20        25\\par ";
  rtf += "  " + field("Label", labelWidth) + "  Num  +---------+---------+---------+---------+---------+\\par \\par ";
  for (int r = 0; r < 5; ++r) {
    char number[16];
    std::snprintf(number, sizeof number, "%5d", r + 1);
    rtf += "  " + field(" ", labelWidth) + number + "   \\f1";
    for (int c = 0; c < 25; ++c) rtf += cellRtf[static_cast<std::size_t>(grid[r][c])];
    rtf += "\\f0\\par ";
  }
  rtf += "\\par }";
  return rtf;
}

void writeExampleOutput(Spsswin_tlb::ISpssOutputDoc& doc) {
  EXPECT_OK(doc.put_Visible(1));
  prepare(doc);
  std::int32_t heading = -1;
  EXPECT_OK(doc.InsertHeading("Korvana", &heading));
  promoteToLevel(doc, heading, 1);
  std::int32_t title = -1;
  EXPECT_OK(doc.InsertTitle("Title", "Korvana", &title));
  creditTable(doc);
  notesTable(doc);

  std::int32_t methodHeading = -1;
  insertHeadingAndTitle(doc, "Ward Linkage", &methodHeading);
  permutationFitTable(doc);
  std::int32_t solution = -1;
  insertHeadingAndTitle(doc, "Solution", &solution);
  objectOrderTable(doc);
  EXPECT_OK(doc.InsertTitle("Title", "Dendrogram", &title));

  std::int32_t index = -1;
  EXPECT_OK(doc.InsertTitle("Dendrogram", "", &index));
  AutomationPtr<Spsswin_tlb::ISpssItems> items;
  AutomationPtr<Spsswin_tlb::ISpssItem> item;
  AutomationPtr<Spssrtf_tlb::ISpssrtf> text;
  EXPECT_OK(doc.get_Items(items.put()));
  EXPECT_OK(items->GetItem(index, item.put()));
  EXPECT_OK(item->ActivateText(text.put()));
  item->put_Height(20 * (5 + 10));
  item->put_Width(800);
  EXPECT_OK(text->put_Content(fiveObjectDendrogramRtf()));
  EXPECT_OK(item->Deactivate());
}

}  // namespace korvana::spss::example
