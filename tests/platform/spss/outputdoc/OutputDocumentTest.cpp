// The output document through its automation interfaces: where items go in
// the outline, promotion, selection, activation, and table content.
#include <gtest/gtest.h>

#include "SPSS/Spsspvt_tlb.h"
#include "SPSS/Spssrtf_tlb.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::spss {
namespace {

using namespace korvana::automation;
using Spsspvt_tlb::ISpssDataCells;
using Spsspvt_tlb::ISpssLabels;
using Spsspvt_tlb::ISpssPivotTable;
using Spsswin_tlb::ISpssItem;
using Spsswin_tlb::ISpssItems;

class OutputDocumentTest : public ::testing::Test {
 protected:
  AutomationPtr<ISpssItem> item(std::int32_t index) {
    AutomationPtr<ISpssItems> items;
    EXPECT_EQ(doc->get_Items(items.put()), S_OK);
    AutomationPtr<ISpssItem> it;
    EXPECT_EQ(items->GetItem(index, it.put()), S_OK);
    return it;
  }
  std::int32_t level(std::int32_t index) {
    std::int32_t value = 0;
    EXPECT_EQ(item(index)->get_Level(&value), S_OK);
    return value;
  }
  std::int32_t heading(const std::string& label) {
    std::int32_t index = -1;
    EXPECT_EQ(doc->InsertHeading(label, &index), S_OK);
    return index;
  }
  std::int32_t title(const std::string& text) {
    std::int32_t index = -1;
    EXPECT_EQ(doc->InsertTitle("Title", text, &index), S_OK);
    return index;
  }
  std::int32_t table(std::int32_t rows, std::int32_t columns) {
    std::int32_t index = -1;
    EXPECT_EQ(doc->InsertTable("T", rows, columns, 1, &index), S_OK);
    return index;
  }
  void promoteToLevel(std::int32_t index, std::int32_t target) {
    AutomationPtr<ISpssItem> it = item(index);
    ASSERT_EQ(it->put_Selected(1), S_OK);
    std::int32_t current = 0;
    it->get_Level(&current);
    while (current > target) {
      ASSERT_TRUE(succeeded(doc->Promote()));
      it->get_Level(&current);
    }
  }
  AutomationPtr<ISpssPivotTable> activate(std::int32_t index) {
    AutomationPtr<ISpssPivotTable> t;
    EXPECT_EQ(item(index)->ActivateTable(t.put()), S_OK);
    return t;
  }

  AutomationPtr<OutputDocument> doc = OutputDocument::create();
};

TEST_F(OutputDocumentTest, ItemsAreAppendedInOrderWithLevelsFromTheCurrentItem) {
  std::int32_t count = 0;
  AutomationPtr<ISpssItems> items;
  ASSERT_EQ(doc->get_Items(items.put()), S_OK);
  ASSERT_EQ(items->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1) << "a new document holds its root heading";
  EXPECT_EQ(level(0), 1);

  // Under a heading one level deeper; after any other item on its level.
  EXPECT_EQ(heading("Korvana"), 1);
  EXPECT_EQ(level(1), 2);
  EXPECT_EQ(title("Korvana"), 2);
  EXPECT_EQ(level(2), 3);
  EXPECT_EQ(table(2, 2), 3);
  EXPECT_EQ(level(3), 3);

  // A current item set by hand anchors the next insert; it still goes last.
  ASSERT_EQ(item(0)->put_Current(1), S_OK);
  EXPECT_EQ(heading("Second"), 4);
  EXPECT_EQ(level(4), 2);
  ASSERT_EQ(items->get_Count(&count), S_OK);
  EXPECT_EQ(count, 5);
  const DocumentModel& model = doc->model();
  EXPECT_EQ(model.item(1).label, "Korvana");
  EXPECT_EQ(model.item(2).text, "Korvana");
  EXPECT_EQ(model.item(4).label, "Second");

  AutomationPtr<ISpssItem> none;
  EXPECT_EQ(items->GetItem(5, none.put()), DISP_E_BADINDEX);
  EXPECT_FALSE(none);
  EXPECT_EQ(items->GetItem(-1, none.put()), DISP_E_BADINDEX);
}

TEST_F(OutputDocumentTest, ProgramOutlineKeepsTheLevelsOfItsSequence) {
  // The run's sequence: product heading promoted to 1, title, tables, method
  // heading, solutions under "Multiple Solutions" promoted to 4, a canceled
  // table promoted to 2.
  const std::int32_t korvana = heading("Korvana");
  promoteToLevel(korvana, 1);
  EXPECT_EQ(level(korvana), 1);
  const std::int32_t korvanaTitle = title("Korvana");
  const std::int32_t credit = table(6, 1);
  const std::int32_t method = heading("Ward Linkage");
  title("Ward Linkage");
  heading("Multiple Solutions");
  title("Multiple Solutions");
  const std::int32_t solution1 = heading("Solution 1");
  promoteToLevel(solution1, 4);
  title("Solution 1");
  const std::int32_t fit1 = table(1, 5);
  const std::int32_t solution2 = heading("Solution 2");
  EXPECT_EQ(level(solution2), 5) << "inserted after the last table of solution 1";
  promoteToLevel(solution2, 4);
  const std::int32_t fit2 = table(1, 5);
  const std::int32_t canceled = table(1, 1);
  promoteToLevel(canceled, 2);

  EXPECT_EQ(level(korvanaTitle), 2);
  EXPECT_EQ(level(credit), 2);
  EXPECT_EQ(level(method), 2);
  EXPECT_EQ(level(solution1), 4);
  EXPECT_EQ(level(fit1), 5);
  EXPECT_EQ(level(solution2), 4);
  EXPECT_EQ(level(fit2), 5);
  EXPECT_EQ(level(canceled), 2);
}

TEST_F(OutputDocumentTest, PromoteMovesTheSelectedItemWithItsSubtree) {
  EXPECT_EQ(doc->Promote(), OUTDOC_E_NOSELECTION);
  const std::int32_t a = heading("A");   // 2
  const std::int32_t b = heading("B");   // 3
  const std::int32_t t = table(1, 1);    // 4
  ASSERT_EQ(item(0)->put_Current(1), S_OK);
  const std::int32_t c = heading("C");   // 2, after the subtree
  ASSERT_EQ(item(b)->put_Selected(1), S_OK);
  EXPECT_EQ(doc->Promote(), S_OK);
  EXPECT_EQ(level(a), 2);
  EXPECT_EQ(level(b), 2);
  EXPECT_EQ(level(t), 3) << "the table under B moves with it";
  EXPECT_EQ(level(c), 2) << "a following sibling of A is not part of B's subtree";

  // Selecting another item replaces the selection; clearing it stops Promote.
  ASSERT_EQ(item(a)->put_Selected(1), S_OK);
  EXPECT_EQ(doc->Promote(), S_OK);
  EXPECT_EQ(level(a), 1);
  EXPECT_EQ(level(b), 2);
  EXPECT_EQ(doc->Promote(), S_FALSE) << "level 1 is the top";
  EXPECT_EQ(level(a), 1);
  ASSERT_EQ(item(a)->put_Selected(0), S_OK);
  EXPECT_EQ(doc->Promote(), OUTDOC_E_NOSELECTION);
}

TEST_F(OutputDocumentTest, ItemFlagsAndPackageItems) {
  const std::int32_t t = table(1, 1);
  AutomationPtr<ISpssItem> it = item(t);
  EXPECT_EQ(it->put_Visible(0), S_OK);
  EXPECT_EQ(it->put_Height(300), S_OK);
  EXPECT_EQ(it->put_Width(800), S_OK);
  EXPECT_EQ(it->put_Width(-1), E_INVALIDARG);
  EXPECT_EQ(doc->put_Visible(0), S_OK);
  const OutputItem& model = doc->model().item(static_cast<std::size_t>(t));
  EXPECT_FALSE(model.visible);
  EXPECT_EQ(model.height, 300);
  EXPECT_EQ(model.width, 800);
  EXPECT_FALSE(doc->model().visible);

  doc->appendLogText("FREQUENCIES v1.");
  doc->appendErrorText("Unknown command.");
  const DocumentModel& m = doc->model();
  ASSERT_EQ(m.count(), 4u);
  EXPECT_EQ(m.item(2).kind, ItemKind::log);
  EXPECT_EQ(m.item(2).label, "FREQUENCIES");
  EXPECT_EQ(m.item(2).text, "FREQUENCIES v1.");
  EXPECT_EQ(m.item(3).kind, ItemKind::error);
  EXPECT_EQ(m.item(3).level, 2);
  EXPECT_EQ(heading("Korvana"), 4);
  EXPECT_EQ(level(4), 2) << "placed after the package's last item";
}

TEST_F(OutputDocumentTest, TableLabelsCellsAndFormats) {
  std::int32_t bad = -1;
  EXPECT_EQ(doc->InsertTable("T", 2, 2, 2, &bad), E_INVALIDARG);
  EXPECT_EQ(doc->InsertTable("T", -1, 2, 1, &bad), E_INVALIDARG);
  const std::int32_t t = table(2, 3);
  AutomationPtr<ISpssPivotTable> pivot = activate(t);
  AutomationPtr<ISpssLabels> rows;
  AutomationPtr<ISpssLabels> columns;
  AutomationPtr<ISpssDataCells> cells;
  ASSERT_EQ(pivot->RowLabelArray(rows.put()), S_OK);
  ASSERT_EQ(pivot->ColumnLabelArray(columns.put()), S_OK);
  ASSERT_EQ(pivot->DataCellArray(cells.put()), S_OK);

  // Row labels are rows x 2, column labels 2 x columns.
  EXPECT_EQ(rows->put_ValueAt(1, 1, "second"), S_OK);
  EXPECT_EQ(rows->put_ValueAt(2, 0, "x"), DISP_E_BADINDEX);
  EXPECT_EQ(rows->put_ValueAt(0, 2, "x"), DISP_E_BADINDEX);
  EXPECT_EQ(columns->put_ValueAt(1, 2, "third"), S_OK);
  EXPECT_EQ(columns->put_ValueAt(2, 0, "x"), DISP_E_BADINDEX);
  EXPECT_EQ(columns->put_ValueAt(0, 3, "x"), DISP_E_BADINDEX);
  EXPECT_EQ(rows->put_TextStyleAt(1, 1, Spsspvt_tlb::styleBold), S_OK);
  EXPECT_EQ(rows->put_TextStyleAt(1, 1, 8), E_INVALIDARG);
  EXPECT_EQ(rows->put_TextAlignmentAt(1, 1, 3), E_INVALIDARG);
  EXPECT_EQ(rows->put_WidthAt(1, 1, 173), S_OK);

  EXPECT_EQ(cells->put_ValueAt(1, 2, "5.0000000E-001"), S_OK);
  EXPECT_EQ(cells->put_HAlignAt(1, 2, Spsspvt_tlb::alignRight), S_OK);
  EXPECT_EQ(cells->put_HDecimalDigitsAt(1, 2, 6), S_OK);
  EXPECT_EQ(cells->put_HDecimalDigitsAt(1, 2, 17), E_INVALIDARG);
  EXPECT_EQ(cells->put_TextColorAt(1, 2, 0xFF0000), S_OK);
  EXPECT_EQ(cells->put_TextSizeAt(1, 2, 14), S_OK);
  EXPECT_EQ(cells->put_TextSizeAt(1, 2, 97), E_INVALIDARG);
  EXPECT_EQ(cells->put_ValueAt(2, 0, "x"), DISP_E_BADINDEX);
  EXPECT_EQ(cells->put_ValueAt(0, 3, "x"), DISP_E_BADINDEX);
  EXPECT_EQ(cells->put_ValueAt(0, 0, "1.234500000000E+003"), S_OK);
  EXPECT_EQ(cells->put_NumericFormatAt(0, 0, "#.##E+##"), S_OK);
  EXPECT_EQ(cells->put_NumericFormatAt(0, 0, "abc"), E_INVALIDARG);
  EXPECT_EQ(cells->put_ColumnWidthAt(1, 130), S_OK);
  EXPECT_EQ(cells->put_ColumnWidthAt(3, 130), DISP_E_BADINDEX);
  EXPECT_EQ(pivot->put_DataCellWidth(360), S_OK);
  EXPECT_EQ(pivot->put_TitleText("Title text"), S_OK);
  EXPECT_EQ(pivot->put_Caption("A note"), S_OK);
  EXPECT_EQ(pivot->put_UpdateScreen(0), S_OK);

  const PivotTableModel& model = *doc->model().item(static_cast<std::size_t>(t)).table;
  EXPECT_EQ(model.label(LabelArray::rows, 1, 1).text, "second");
  EXPECT_EQ(model.label(LabelArray::rows, 1, 1).style, Spsspvt_tlb::styleBold);
  EXPECT_EQ(model.label(LabelArray::rows, 1, 1).width, 173);
  EXPECT_EQ(model.label(LabelArray::columns, 1, 2).text, "third");
  const PivotCell& cell = model.cell(1, 2);
  EXPECT_EQ(cell.value, "5.0000000E-001");
  EXPECT_EQ(cell.alignment, Spsspvt_tlb::alignRight);
  EXPECT_EQ(cell.decimals, 6);
  EXPECT_EQ(cell.color, 0xFF0000);
  EXPECT_EQ(cell.points, 14);
  EXPECT_EQ(model.cell(0, 0).numberFormat, "#.##E+##");
  EXPECT_FALSE(model.cell(0, 0).decimals);
  EXPECT_EQ(model.columnWidths[1], 130);
  EXPECT_EQ(model.dataCellWidth, 360);
  EXPECT_EQ(model.title, "Title text");
  EXPECT_EQ(model.caption, "A note");
  EXPECT_EQ(model.updateScreen, 0);

  // Auto-fit forgets the widths given so far.
  EXPECT_EQ(pivot->Autofit(), S_OK);
  EXPECT_TRUE(model.autofitted);
  EXPECT_FALSE(model.dataCellWidth);
  EXPECT_FALSE(model.columnWidths[1]);
  EXPECT_FALSE(model.label(LabelArray::rows, 1, 1).width);
}

TEST_F(OutputDocumentTest, FootnotesGoOnTheSelectedLabelAndDimensionsHideLabels) {
  const std::int32_t t = table(3, 2);
  AutomationPtr<ISpssPivotTable> pivot = activate(t);
  EXPECT_EQ(pivot->put_FootnoteOnSelectedLabel("none selected"), OUTDOC_E_NOLABELSELECTED);
  AutomationPtr<ISpssLabels> rows;
  AutomationPtr<ISpssLabels> columns;
  ASSERT_EQ(pivot->RowLabelArray(rows.put()), S_OK);
  ASSERT_EQ(pivot->ColumnLabelArray(columns.put()), S_OK);
  EXPECT_EQ(rows->SelectLabelAt(3, 1), DISP_E_BADINDEX);
  ASSERT_EQ(rows->SelectLabelAt(2, 1), S_OK);
  EXPECT_EQ(pivot->put_FootnoteOnSelectedLabel("first"), S_OK);
  ASSERT_EQ(columns->SelectLabelAt(1, 0), S_OK);
  EXPECT_EQ(pivot->put_FootnoteOnSelectedLabel("second"), S_OK);
  EXPECT_EQ(pivot->put_FootnoteOnSelectedLabel("third"), S_OK);

  const PivotTableModel& model = *doc->model().item(static_cast<std::size_t>(t)).table;
  ASSERT_EQ(model.footnotes, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(model.label(LabelArray::rows, 2, 1).footnotes, (std::vector<std::size_t>{0}));
  EXPECT_EQ(model.label(LabelArray::columns, 1, 0).footnotes, (std::vector<std::size_t>{1, 2}));
  EXPECT_TRUE(model.label(LabelArray::rows, 1, 1).footnotes.empty());
  EXPECT_EQ(PivotTableModel::footnoteMarker(0), "a");
  EXPECT_EQ(PivotTableModel::footnoteMarker(25), "z");
  EXPECT_EQ(PivotTableModel::footnoteMarker(26), "aa");

  AutomationPtr<Spsspvt_tlb::ISpssPivotMgr> manager;
  AutomationPtr<Spsspvt_tlb::ISpssDimension> dimension;
  ASSERT_EQ(pivot->PivotManager(manager.put()), S_OK);
  EXPECT_EQ(manager->get_RowDimension(1, dimension.put()), DISP_E_BADINDEX);
  ASSERT_EQ(manager->get_RowDimension(0, dimension.put()), S_OK);
  EXPECT_EQ(dimension->put_ShowLabels(0), S_OK);
  EXPECT_FALSE(model.showRowLabels);
  EXPECT_TRUE(model.showColumnLabels);
  ASSERT_EQ(manager->get_ColumnDimension(0, dimension.put()), S_OK);
  EXPECT_EQ(dimension->put_ShowLabels(0), S_OK);
  EXPECT_FALSE(model.showColumnLabels);
}

TEST_F(OutputDocumentTest, DeactivateInvalidatesEveryInterfaceOfTheActivation) {
  const std::int32_t t = table(1, 1);
  AutomationPtr<ISpssItem> it = item(t);
  AutomationPtr<ISpssPivotTable> pivot;
  ASSERT_EQ(it->ActivateTable(pivot.put()), S_OK);
  AutomationPtr<ISpssLabels> labels;
  AutomationPtr<ISpssDataCells> cells;
  AutomationPtr<Spsspvt_tlb::ISpssPivotMgr> manager;
  AutomationPtr<Spsspvt_tlb::ISpssDimension> dimension;
  ASSERT_EQ(pivot->RowLabelArray(labels.put()), S_OK);
  ASSERT_EQ(pivot->DataCellArray(cells.put()), S_OK);
  ASSERT_EQ(pivot->PivotManager(manager.put()), S_OK);
  ASSERT_EQ(manager->get_ColumnDimension(0, dimension.put()), S_OK);
  ASSERT_EQ(cells->put_ValueAt(0, 0, "before"), S_OK);

  ASSERT_EQ(it->Deactivate(), S_OK);
  EXPECT_EQ(cells->put_ValueAt(0, 0, "after"), OUTDOC_E_NOTACTIVE);
  EXPECT_EQ(labels->put_ValueAt(0, 1, "after"), OUTDOC_E_NOTACTIVE);
  EXPECT_EQ(dimension->put_ShowLabels(0), OUTDOC_E_NOTACTIVE);
  EXPECT_EQ(pivot->put_TitleText("after"), OUTDOC_E_NOTACTIVE);
  AutomationPtr<ISpssDataCells> late;
  EXPECT_EQ(pivot->DataCellArray(late.put()), OUTDOC_E_NOTACTIVE);
  EXPECT_FALSE(late);
  EXPECT_EQ(it->Deactivate(), S_OK) << "deactivating twice is harmless";

  // A new activation works, and the old interfaces stay dead.
  AutomationPtr<ISpssPivotTable> again;
  ASSERT_EQ(it->ActivateTable(again.put()), S_OK);
  ASSERT_EQ(again->DataCellArray(late.put()), S_OK);
  EXPECT_EQ(late->put_ValueAt(0, 0, "again"), S_OK);
  EXPECT_EQ(cells->put_ValueAt(0, 0, "stale"), OUTDOC_E_NOTACTIVE);
  const PivotTableModel& model = *doc->model().item(static_cast<std::size_t>(t)).table;
  EXPECT_EQ(model.cell(0, 0).value, "again");
  EXPECT_EQ(model.dataCellWidth, std::nullopt);
  EXPECT_TRUE(model.showColumnLabels);
}

TEST_F(OutputDocumentTest, ActivationMatchesTheItemKind) {
  const std::int32_t h = heading("H");
  const std::int32_t t = title("text");
  const std::int32_t tb = table(1, 1);
  AutomationPtr<ISpssPivotTable> pivot;
  AutomationPtr<Spssrtf_tlb::ISpssrtf> rtf;
  EXPECT_EQ(item(h)->ActivateTable(pivot.put()), E_NOINTERFACE);
  EXPECT_EQ(item(h)->ActivateText(rtf.put()), E_NOINTERFACE);
  EXPECT_EQ(item(tb)->ActivateText(rtf.put()), E_NOINTERFACE);
  EXPECT_EQ(item(t)->ActivateTable(pivot.put()), E_NOINTERFACE);
  EXPECT_FALSE(pivot);

  AutomationPtr<ISpssItem> textItem = item(t);
  ASSERT_EQ(textItem->ActivateText(rtf.put()), S_OK);
  EXPECT_EQ(rtf->put_Content("{\\rtf1\\ansi Hello\\par }"), S_OK);
  const OutputItem& model = doc->model().item(static_cast<std::size_t>(t));
  EXPECT_EQ(model.richText, "{\\rtf1\\ansi Hello\\par }");
  EXPECT_TRUE(model.richTextReadable);
  EXPECT_EQ(rtf->put_Content("plain words"), OUTDOC_E_BADRTF);
  EXPECT_EQ(model.richText, "plain words") << "unreadable content is kept as it is";
  EXPECT_FALSE(model.richTextReadable);
  ASSERT_EQ(textItem->Deactivate(), S_OK);
  EXPECT_EQ(rtf->put_Content("{\\rtf1 late}"), OUTDOC_E_NOTACTIVE);
  EXPECT_EQ(model.richText, "plain words");
}

TEST_F(OutputDocumentTest, HandlesKeepTheDocumentAlive) {
  AutomationPtr<ISpssPivotTable> pivot = activate(table(1, 1));
  AutomationPtr<ISpssDataCells> cells;
  ASSERT_EQ(pivot->DataCellArray(cells.put()), S_OK);
  doc.reset();
  pivot.reset();
  // The document is gone for its owner but still serves the cells handle.
  EXPECT_EQ(cells->put_ValueAt(0, 0, "still here"), S_OK);
}

}  // namespace
}  // namespace korvana::spss
