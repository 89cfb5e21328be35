// The output operations against the stand-in package's output document: the
// outline, the message tables, every report table's labels, cells, formats,
// widths, footnotes and flags, and what happens when automation calls fail.
#include "output/OutputFactory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <unistd.h>

#include "OutputTestSupport.h"
#include "SPSS/Spsspvt_tlb.h"
#include "engine/ClusterMethodFactory.h"
#include "output/AutomationCallChecks.h"

namespace korvana::testing {
namespace {

namespace Of = OutputFactory;
using automation::AutomationPtr;
using automation::HRESULT;
using spss::ItemKind;
using spss::LabelArray;
using spss::PivotCell;
using spss::PivotLabel;
using host::MessageAnswer;

// Five objects with ties (dissimilarities):
//        1  2  3  4
//   2    1
//   3    2  2
//   4    2  2  1
//   5    3  3  2  2
const std::vector<double> fiveObjects = {1, 2, 2, 2, 2, 1, 3, 3, 2, 2};

class OutputFactoryTest : public PackageOutputTest {};

void expectCell(const PivotCell& cell, const std::string& value, std::int32_t alignment,
                std::optional<std::int32_t> decimals = std::nullopt, const std::string& format = "") {
  EXPECT_EQ(cell.value, value);
  EXPECT_EQ(cell.alignment, alignment) << cell.value;
  EXPECT_EQ(cell.decimals, decimals) << cell.value;
  EXPECT_EQ(cell.numberFormat, format) << cell.value;
}

// ---------------------------------------------------------------- outline

TEST_F(OutputFactoryTest, HeadingsAndTitlesAreAppendedWithTheirLabels) {
  const std::int32_t heading = Of::insertHeading(doc(), "Korvana");
  const std::int32_t title = Of::insertTitle(doc(), "Korvana");
  EXPECT_EQ(heading, 1);
  EXPECT_EQ(title, 2);
  EXPECT_EQ(item(heading).kind, ItemKind::heading);
  EXPECT_EQ(item(heading).label, "Korvana");
  EXPECT_EQ(item(title).kind, ItemKind::title);
  EXPECT_EQ(item(title).label, "Title");
  EXPECT_EQ(item(title).text, "Korvana");
  EXPECT_EQ(item(title).level, item(heading).level + 1);
}

TEST_F(OutputFactoryTest, PromoteToLevelPromotesOnlyWhileTheItemIsDeeper) {
  Of::insertHeading(doc(), "a");                        // level 2 under the root
  Of::insertHeading(doc(), "b");                        // level 3
  const std::int32_t deep = Of::insertHeading(doc(), "c");  // level 4
  ASSERT_EQ(item(deep).level, 4);

  Of::promoteToLevel(doc(), deep, 2);
  EXPECT_EQ(item(deep).level, 2);
  EXPECT_EQ(model().selected(), static_cast<std::size_t>(deep));

  // At or above the target nothing moves.
  Of::promoteToLevel(doc(), deep, 2);
  EXPECT_EQ(item(deep).level, 2);
  Of::promoteToLevel(doc(), deep, 3);
  EXPECT_EQ(item(deep).level, 2);

  // Level 1 is the top: asking for less stops there.
  Of::promoteToLevel(doc(), deep, 0);
  EXPECT_EQ(item(deep).level, 1);
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(OutputFactoryTest, PrepareDeactivatesEveryItemAndContinuesAfterTheLast) {
  // Earlier output: a heading with a table left open, then the current item
  // moved back to the root heading.
  const std::int32_t heading = Of::insertHeading(doc(), "Earlier");
  std::int32_t tableIndex = -1;
  ASSERT_EQ(doc()->InsertTable("Open", 1, 1, 1, &tableIndex), automation::S_OK);
  AutomationPtr<Spsswin_tlb::ISpssItems> items;
  AutomationPtr<Spsswin_tlb::ISpssItem> open;
  AutomationPtr<Spsspvt_tlb::ISpssPivotTable> pivot;
  ASSERT_EQ(doc()->get_Items(items.put()), automation::S_OK);
  ASSERT_EQ(items->GetItem(tableIndex, open.put()), automation::S_OK);
  ASSERT_EQ(open->ActivateTable(pivot.put()), automation::S_OK);
  model().setCurrent(0, true);
  ASSERT_TRUE(item(tableIndex).active);

  Of::prepareOutputDocument(doc());
  for (std::size_t i = 0; i < model().count(); ++i) EXPECT_FALSE(model().item(i).active) << i;
  EXPECT_EQ(model().current(), static_cast<std::size_t>(tableIndex));
  // The next item follows the last one (the table under "Earlier"), not the
  // root heading that was current.
  const std::int32_t next = Of::insertHeading(doc(), "Korvana");
  EXPECT_EQ(item(heading).level, 2);
  EXPECT_EQ(item(next).level, 3);
}

// ---------------------------------------------------------- message tables

TEST_F(OutputFactoryTest, MessageTablesHoldOneLeftAlignedCellUnderTheirLabel) {
  const struct {
    std::int32_t (*write)(Spsswin_tlb::ISpssOutputDoc*, const std::string&);
    const char* label;
  } kinds[] = {{Of::writeWarning, "Warning"}, {Of::writeError, "Error"}, {Of::writeCanceled, "Canceled"}};
  for (const auto& kind : kinds) {
    const std::string message = std::string("A message for the ") + kind.label + " table.";
    const std::int32_t index = kind.write(doc(), message);
    ASSERT_EQ(static_cast<std::size_t>(index), model().count() - 1) << kind.label;
    EXPECT_EQ(item(index).kind, ItemKind::table);
    EXPECT_EQ(item(index).label, kind.label);
    EXPECT_FALSE(item(index).active);
    const auto& t = table(index);
    EXPECT_EQ(t.rows(), 1);
    EXPECT_EQ(t.columns(), 1);
    EXPECT_EQ(t.title, kind.label);
    EXPECT_FALSE(t.showRowLabels);
    EXPECT_FALSE(t.showColumnLabels);
    EXPECT_EQ(t.dataCellWidth, 360);
    EXPECT_EQ(t.updateScreen, 1);
    expectCell(t.cell(0, 0), message, 0);
  }
  EXPECT_TRUE(boxes_.shown().empty());
}

// --------------------------------------------------------- credit and notes

TEST_F(OutputFactoryTest, CreditTableNamesProductVersionAndAuthorsInBlue) {
  Of::writeCreditTable(doc());
  const std::int32_t index = 1;
  EXPECT_EQ(item(index).label, "Credit");
  EXPECT_TRUE(item(index).visible);
  const auto& t = table(index);
  EXPECT_EQ(t.title, "Credit");
  EXPECT_FALSE(t.showColumnLabels);
  EXPECT_TRUE(t.showRowLabels);
  EXPECT_EQ(t.dataCellWidth, 360);
  const std::vector<std::string> lines = {"Korvana", "Version 1.0", "by", "The Korvana developers",
                                          "Korvana project", "Hierarchical cluster analysis of permuted proximities"};
  ASSERT_EQ(t.rows(), 6);
  for (std::int32_t r = 0; r < 6; ++r) {
    expectCell(t.cell(r, 0), lines[static_cast<std::size_t>(r)], 0);
    EXPECT_EQ(t.cell(r, 0).color, 0xFF0000);
    EXPECT_EQ(t.cell(r, 0).points, 14);
  }
}

struct NotesRow {
  std::string label;
  std::string cell;
};

std::vector<NotesRow> notesRows(const spss::PivotTableModel& t) {
  std::vector<NotesRow> rows;
  for (std::int32_t r = 0; r < t.rows(); ++r) rows.push_back({t.label(LabelArray::rows, r, 1).text, t.cell(r, 0).value});
  return rows;
}

TEST_F(OutputFactoryTest, NotesTableForAMatrixFileIsHiddenAndShowsNoDataSetFacts) {
  Of::NotesTableSettings settings;
  settings.document = doc();
  settings.analyzesData = false;
  settings.matrixFileName = "/data/ties.sav";
  settings.matrixObjectCount = 5;
  settings.clusterMethod = ClusterMethodFactory::getWard();
  settings.permutationCount = 100;
  settings.syntax = "PROXIMITIES never shown.";
  settings.view = ClusterView::cases;
  settings.firstPermutationIsIdentity = false;
  settings.startSeed = -12;
  settings.saveFitTable = false;
  settings.fitTableFileName = "/data/fit.sav";
  Of::writeNotesTable(settings);

  const std::int32_t index = 1;
  EXPECT_EQ(item(index).label, "Notes");
  EXPECT_FALSE(item(index).visible);
  const auto& t = table(index);
  EXPECT_EQ(t.title, "Notes");
  EXPECT_FALSE(t.showColumnLabels);
  EXPECT_EQ(t.dataCellWidth, 162);
  ASSERT_EQ(t.rows(), 17);
  const std::vector<NotesRow> expected = {{"Output Created", ""},
                                          {"Input", " "},
                                          {"      Data", "/data/ties.sav"},
                                          {"      Filter", "<none>"},
                                          {"      Weight", "<none>"},
                                          {"      Split File", "<none>"},
                                          {"      N of Rows in Working Data File", "5"},
                                          {"General", " "},
                                          {"      Cluster Method", "Ward's method"},
                                          {"      View", "<none>"},
                                          {"      Number of Permutations", "100"},
                                          {"      Analysis Type", "analyze proximities"},
                                          {"      Proximities Syntax", "<none>"},
                                          {"Options", " "},
                                          {"      First Permutation is Identity", "no"},
                                          {"      Start Seed", "-12"},
                                          {"      Permutation Fit Table Filename", "<none>"}};
  const auto rows = notesRows(t);
  for (std::size_t r = 1; r < expected.size(); ++r) {
    EXPECT_EQ(rows[r].label, expected[r].label) << r;
    EXPECT_EQ(rows[r].cell, expected[r].cell) << r;
  }
  EXPECT_EQ(rows[0].label, "Output Created");
  EXPECT_FALSE(rows[0].cell.empty());

  // Group rows are bold; the first label has its width; integers have no decimals.
  for (const std::int32_t r : {0, 1, 7, 13}) EXPECT_EQ(t.label(LabelArray::rows, r, 1).style, 2) << r;
  for (const std::int32_t r : {2, 6, 8, 16}) EXPECT_EQ(t.label(LabelArray::rows, r, 1).style, 0) << r;
  for (std::int32_t r = 0; r < 17; ++r) EXPECT_EQ(t.label(LabelArray::rows, r, 1).alignment, 0) << r;
  EXPECT_EQ(t.label(LabelArray::rows, 0, 1).width, 173);
  EXPECT_FALSE(t.label(LabelArray::rows, 1, 1).width.has_value());
  for (const std::int32_t r : {0, 6, 10, 15}) EXPECT_EQ(t.cell(r, 0).alignment, 1) << r;
  for (const std::int32_t r : {6, 10, 15}) EXPECT_EQ(t.cell(r, 0).decimals, 0) << r;
  for (const std::int32_t r : {0, 2, 12, 16}) EXPECT_FALSE(t.cell(r, 0).decimals.has_value()) << r;
  EXPECT_EQ(t.cell(2, 0).alignment, 0);
}

TEST_F(OutputFactoryTest, NotesTableRecordsTheSavedFitTableOnlyWhenSaving) {
  Of::NotesTableSettings settings;
  settings.document = doc();
  settings.clusterMethod = ClusterMethodFactory::getSingleLinkage();
  settings.saveFitTable = true;
  settings.fitTableFileName = "/data/fit table.sav";
  Of::writeNotesTable(settings);
  EXPECT_EQ(table(1).cell(16, 0).value, "/data/fit table.sav");
  EXPECT_EQ(table(1).cell(14, 0).value, "yes");
  EXPECT_EQ(table(1).cell(8, 0).value, "Nearest neighbor");
}

// A data document whose selection settings a test chooses.
class ScriptedDataDoc final : public Spsswin_tlb::ISpssDataDoc {
 public:
  std::uint32_t AddRef() override { return 1; }
  std::uint32_t Release() override { return 1; }
  HRESULT GetNumberOfVariables(std::int32_t*) override { return automation::E_NOTIMPL; }
  HRESULT GetSplitVariables(std::vector<std::string>*, std::int32_t*) override { return automation::E_NOTIMPL; }
  HRESULT GetVariableInfo(std::vector<std::string>*, std::vector<std::string>*, std::vector<std::int32_t>*,
                          std::vector<std::int32_t>*, std::vector<std::int32_t>*, std::int32_t*) override {
    return automation::E_NOTIMPL;
  }
  HRESULT GetDocumentPath(std::string* retval) override {
    *retval = "/data/survey.sav";
    return automation::S_OK;
  }
  HRESULT GetNumberOfCases(std::int32_t* retval) override {
    *retval = static_cast<std::int32_t>(filterValues.size());
    return automation::S_OK;
  }
  HRESULT GetFilterVariable(std::int32_t bLabel, std::string* retval) override {
    EXPECT_EQ(bLabel, 1);
    *retval = filter;
    return automation::S_OK;
  }
  HRESULT GetWeightingVariable(std::int32_t bLabel, std::string* retval) override {
    EXPECT_EQ(bLabel, 1);
    *retval = weight;
    return automation::S_OK;
  }
  HRESULT GetTextData(const std::string& first, const std::string& last, std::int32_t firstCase,
                      std::int32_t lastCase, automation::TextArray2D* retval) override {
    requested.push_back(first + ".." + last + " " + std::to_string(firstCase) + "-" + std::to_string(lastCase));
    retval->clear();
    for (const std::string& value : filterValues) retval->push_back({value});
    return automation::S_OK;
  }

  std::string filter;
  std::string weight;
  std::vector<std::string> filterValues;
  std::vector<std::string> requested;
};

TEST_F(OutputFactoryTest, NotesTableShowsFilterAndWeightAsThePackageNamesThem) {
  struct Case {
    std::string filter, weight;
    std::string shownFilter, shownWeight, rows, request;
  };
  const Case cases[] = {
      // Without a tab: the name in upper case; every value but "0" is selected.
      {"keep", "wgt", "KEEP", "WGT", "3", "keep..keep 1-5"},
      // With a tab: the part after it, even when empty.
      {"keep\tCases to keep", "wgt\t", "Cases to keep", "", "3", "keep..keep 1-5"},
      // No filter: every case counts and no values are read.
      {"", "", "<none>", "<none>", "5", ""},
  };
  for (const Case& c : cases) {
    ScriptedDataDoc data;
    data.filter = c.filter;
    data.weight = c.weight;
    data.filterValues = {"1", "0", ".", "0", "2.5"};
    Of::NotesTableSettings settings;
    settings.document = doc();
    settings.dataDocument = &data;
    settings.analyzesData = true;
    settings.view = ClusterView::variables;
    settings.syntax = "PROXIMITIES a b /VIEW=VARIABLE.";
    Of::writeNotesTable(settings);
    const auto& t = table(static_cast<std::int32_t>(model().count() - 1));
    EXPECT_EQ(t.cell(2, 0).value, "/data/survey.sav");
    EXPECT_EQ(t.cell(3, 0).value, c.shownFilter) << c.filter;
    EXPECT_EQ(t.cell(4, 0).value, c.shownWeight) << c.weight;
    EXPECT_EQ(t.cell(6, 0).value, c.rows) << c.filter;
    EXPECT_EQ(t.cell(9, 0).value, "variables");
    EXPECT_EQ(t.cell(11, 0).value, "analyze data");
    EXPECT_EQ(t.cell(12, 0).value, "PROXIMITIES a b /VIEW=VARIABLE.");
    EXPECT_EQ(data.requested, c.request.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.request});
  }
}

TEST_F(OutputFactoryTest, NotesTableReadsTheActiveDataSetOfThePackage) {
  const std::filesystem::path csv =
      std::filesystem::temp_directory_path() / ("korvana-notes-" + std::to_string(::getpid()) + ".csv");
  {
    std::ofstream out(csv);
    out << "x,sel,w\n1,1,2\n2,0,1\n3,,1\n4,7,1\n";
  }
  startWithData(csv.string());
  package().setFilterVariable("sel");
  package().setWeightVariable("w");
  AutomationPtr<Spsswin_tlb::ISpssApp> application;
  ASSERT_EQ(spss::attachToApplication("SPSS.Application", application.put()), automation::S_OK);
  AutomationPtr<Spsswin_tlb::ISpssDocuments> documents;
  AutomationPtr<Spsswin_tlb::ISpssDataDoc> data;
  ASSERT_EQ(application->get_Documents(documents.put()), automation::S_OK);
  ASSERT_EQ(documents->GetDataDoc(0, data.put()), automation::S_OK);

  Of::NotesTableSettings settings;
  settings.document = doc();
  settings.dataDocument = data.get();
  settings.analyzesData = true;
  settings.view = ClusterView::cases;
  Of::writeNotesTable(settings);
  const auto& t = table(static_cast<std::int32_t>(model().count() - 1));
  EXPECT_EQ(t.cell(2, 0).value, csv.string());
  EXPECT_EQ(t.cell(3, 0).value, "SEL");
  EXPECT_EQ(t.cell(4, 0).value, "W");
  EXPECT_EQ(t.cell(6, 0).value, "3");  // 1, missing and 7 are not "0"
  EXPECT_EQ(t.cell(9, 0).value, "cases");

  // A failed call that the user lets go on leaves its row empty; the table is
  // still complete.
  boxes_.scriptAnswer(MessageAnswer::no);
  package().failNextCall("GetDocumentPath", automation::E_FAIL);
  Of::writeNotesTable(settings);
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].caption, "HRCHECK: ");
  EXPECT_NE(boxes_.shown()[0].text.find("GetDocumentPath"), std::string::npos);
  const auto& second = table(static_cast<std::int32_t>(model().count() - 1));
  EXPECT_EQ(second.cell(2, 0).value, "");
  EXPECT_EQ(second.cell(6, 0).value, "3");
  std::filesystem::remove(csv);
}

// ------------------------------------------------------------- fit tables

SolutionId idOf(std::uint8_t first) {
  SolutionId id{};
  for (std::size_t i = 0; i < id.size(); ++i) id[i] = static_cast<std::uint8_t>(first + i);
  return id;
}

TEST_F(OutputFactoryTest, PermutationFitTableHasARowPerPermutationAndAFootnotedIdentity) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  CancelingProgress progress(1000);
  int processed = 0;
  Of::writePermutationFitTable(doc(), 3, {0.0625, 0.5, nan}, {0.93125, -0.25, nan}, 160.0, true,
                               {0, 1804289383, -5}, {idOf(0), idOf(0xf0), idOf(0x0a)}, progress,
                               [&] { ++processed; });
  EXPECT_EQ(processed, 3);
  EXPECT_EQ(progress.processed, 0);  // the given function stands in for the monitor's
  EXPECT_EQ(progress.polls, 3);
  const std::int32_t index = 1;
  EXPECT_EQ(item(index).label, "Permutation Fit");
  const auto& t = table(index);
  EXPECT_EQ(t.title, "Permutation Fit");
  EXPECT_TRUE(t.showRowLabels);
  EXPECT_TRUE(t.showColumnLabels);
  EXPECT_EQ(t.label(LabelArray::rows, 0, 0).text, "Permutation");
  EXPECT_EQ(t.label(LabelArray::rows, 0, 0).width, 65);
  EXPECT_EQ(t.label(LabelArray::columns, 0, 0).text, "Fit");
  const char* headers[] = {"Solution ID", "SSDif", "Normalized SSDif", "Cophenetic Correlation", "Random Seed"};
  for (std::int32_t c = 0; c < 5; ++c) EXPECT_EQ(t.label(LabelArray::columns, 1, c).text, headers[c]);
  for (std::int32_t r = 0; r < 3; ++r) {
    const PivotLabel& label = t.label(LabelArray::rows, r, 1);
    EXPECT_EQ(label.text, " " + std::to_string(r + 1));
    EXPECT_EQ(label.alignment, 1);
    EXPECT_EQ(label.width, 65);
  }
  expectCell(t.cell(0, 0), "000102030405060708090a0b0c0d0e0f", 0, 0);
  expectCell(t.cell(0, 1), "1.000000000000E+001", 1, std::nullopt, "#.##E+##");
  // Each fit with the digits it holds: none padded.
  expectCell(t.cell(0, 2), "6.250000000000E-002", 1, 4);
  expectCell(t.cell(0, 3), "9.312500000000E-001", 1, 5);
  expectCell(t.cell(0, 4), " ", 1, 0);
  expectCell(t.cell(1, 0), "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", 0, 0);
  expectCell(t.cell(1, 1), "8.000000000000E+001", 1, std::nullopt, "#.##E+##");
  expectCell(t.cell(1, 3), "-2.500000000000E-001", 1, 2);
  expectCell(t.cell(1, 4), "1804289383", 1, 0);
  // A fit that is not a number still fills its cells.
  EXPECT_EQ(t.cell(2, 1).value, "NaN");
  EXPECT_EQ(t.cell(2, 2).value, "NaN");
  EXPECT_EQ(t.cell(2, 3).value, "NaN");
  EXPECT_EQ(t.cell(2, 4).value, "-5");

  ASSERT_EQ(t.footnotes, std::vector<std::string>{"Identity permutation"});
  EXPECT_EQ(t.label(LabelArray::rows, 0, 1).footnotes, std::vector<std::size_t>{0});
  EXPECT_TRUE(t.label(LabelArray::rows, 1, 1).footnotes.empty());
  const std::vector<std::optional<std::int32_t>> widths = {200, 130, 70, 70, 80};
  EXPECT_EQ(t.columnWidths, widths);
  EXPECT_EQ(t.updateScreen, 1);
  EXPECT_FALSE(item(index).active);
}

TEST_F(OutputFactoryTest, PermutationFitWithoutIdentityShowsEverySeedAndNoFootnote) {
  SilentProgress progress;
  Of::writePermutationFitTable(doc(), 2, {0.1, 0.1}, {0.5, 0.5}, 10.0, false, {0, 42}, {idOf(1), idOf(1)},
                               progress);
  const auto& t = table(1);
  EXPECT_EQ(t.cell(0, 4).value, "0");
  EXPECT_EQ(t.cell(1, 4).value, "42");
  EXPECT_TRUE(t.footnotes.empty());
}

TEST_F(OutputFactoryTest, CancelingStopsThePermutationFitTableBeforeTheNextRow) {
  CancelingProgress progress(2);  // two rows, then the user cancels
  Of::writePermutationFitTable(doc(), 4, {0.1, 0.2, 0.3, 0.4}, {0.9, 0.8, 0.7, 0.6}, 1.0, true, {0, 1, 2, 3},
                               {idOf(1), idOf(2), idOf(3), idOf(4)}, progress);
  EXPECT_EQ(progress.polls, 3);
  EXPECT_EQ(progress.processed, 2);  // the monitor lets events run after each written row
  const auto& t = table(1);
  ASSERT_EQ(t.rows(), 4);
  EXPECT_TRUE(t.cell(1, 0).set);
  for (std::int32_t r = 2; r < 4; ++r) {
    EXPECT_FALSE(t.label(LabelArray::rows, r, 1).set) << r;
    for (std::int32_t c = 0; c < 5; ++c) EXPECT_FALSE(t.cell(r, c).set) << r << "," << c;
  }
  // The table is finished all the same.
  EXPECT_EQ(t.footnotes.size(), 1u);
  EXPECT_EQ(t.columnWidths[0], 200);
  EXPECT_FALSE(item(1).active);
}

TEST_F(OutputFactoryTest, SolutionFitTableShowsTheSolutionsRoundedFit) {
  auto identity = cluster(*ClusterMethodFactory::getCompleteLinkage(), 5, fiveObjects);
  Of::writeSolutionFitTable(doc(), identity.solution(), identity.matrix().getSumOfSquares(), "the note");
  const std::int32_t index = 1;
  EXPECT_EQ(item(index).label, "Fit");
  const auto& t = table(index);
  EXPECT_EQ(t.title, "Fit");
  EXPECT_FALSE(t.showRowLabels);
  EXPECT_TRUE(t.showColumnLabels);
  EXPECT_EQ(t.rows(), 1);
  EXPECT_EQ(t.label(LabelArray::columns, 0, 0).text, "Fit");
  EXPECT_EQ(t.label(LabelArray::columns, 1, 4).text, "Random Seed");
  // Complete linkage in the identity order joins (3,4) and (1,2) at 1, adds
  // 5 to (3,4) at 2 and joins all at 3: the four pairs between {1,2} and
  // {3,4} are 2 apart but drawn at 3, so SSDif is 4 of a sum of squares 44;
  // the correlation of the ten pairs with their heights was worked out apart.
  EXPECT_EQ(t.cell(0, 0).value.size(), 32u);
  expectCell(t.cell(0, 1), "4.000000000000E+000", 1, std::nullopt, "#.##E+##");
  expectCell(t.cell(0, 2), "9.090909090909E-002", 1, 14);
  expectCell(t.cell(0, 3), "7.905694150421E-001", 1, 13);
  EXPECT_EQ(t.caption, "the note");
  expectCell(t.cell(0, 4), " ", 1, 0);
  const std::vector<std::optional<std::int32_t>> widths = {200, 130, 70, 70, 80};
  EXPECT_EQ(t.columnWidths, widths);
}

TEST_F(OutputFactoryTest, SolutionFitTableShowsTheSeedOfAPermutedSolution) {
  ClusterAnalysis analysis(*ClusterMethodFactory::getCompleteLinkage(), AnalysisType::matrixFile, 1);
  analysis.getMatrix().assignLowerTriangle(5, fiveObjects);
  analysis.setFirstPermutationIsIdentity(false);
  analysis.setSeed(99);
  analysis.runPermutations();
  const ClusterSolution& solution = *analysis.getSolutions().at(0);
  ASSERT_FALSE(solution.isIdentityPermutation());
  Of::writeSolutionFitTable(doc(), solution, analysis.getMatrix().getSumOfSquares());
  EXPECT_EQ(table(1).cell(0, 4).value, std::to_string(solution.getSeed()));
  EXPECT_EQ(table(1).cell(0, 4).value, std::to_string(analysis.getSeeds()[0]));
}

// -------------------------------------------------- object order, schedule

TEST_F(OutputFactoryTest, ObjectOrderListsThePermutationFromOne) {
  auto identity = cluster(*ClusterMethodFactory::getWard(), 5, fiveObjects);
  Of::writeObjectOrderTable(doc(), identity.solution());
  const auto& t = table(1);
  EXPECT_EQ(item(1).label, "Object Order");
  EXPECT_EQ(t.title, "Object Order");
  EXPECT_FALSE(t.showRowLabels);
  EXPECT_TRUE(t.showColumnLabels);
  EXPECT_EQ(t.caption, "Note: The above entities are the object identifiers in the original proximity matrix");
  expectCell(t.cell(0, 0), "1, 2, 3, 4, 5", 0);
  EXPECT_EQ(t.dataCellWidth, 425);

  ClusterAnalysis analysis(*ClusterMethodFactory::getWard(), AnalysisType::matrixFile, 1);
  analysis.getMatrix().assignLowerTriangle(5, fiveObjects);
  analysis.setFirstPermutationIsIdentity(false);
  analysis.setSeed(3);
  analysis.runPermutations();
  const auto& permutation = analysis.getSolutions().at(0)->getPermutation();
  Of::writeObjectOrderTable(doc(), *analysis.getSolutions().at(0));
  std::string expected;
  for (std::size_t k = 0; k < permutation.size(); ++k)
    expected += (k ? ", " : "") + std::to_string(permutation[k] + 1);
  EXPECT_EQ(table(2).cell(0, 0).value, expected);
  EXPECT_NE(expected, "1, 2, 3, 4, 5");
}

TEST_F(OutputFactoryTest, AgglomerationScheduleNumbersStagesAndClustersFromOne) {
  // Complete linkage of the five objects in the identity order: (3,4) and
  // (1,2) at 1, then 5 joins (3,4) at 2, then the two clusters at 3.
  auto clustered = cluster(*ClusterMethodFactory::getCompleteLinkage(), 5, fiveObjects);
  Of::writeAgglomerationSchedule(doc(), clustered.solution());
  const auto& t = table(1);
  EXPECT_EQ(item(1).label, "Agglomeration Schedule");
  EXPECT_EQ(t.title, "Agglomeration Schedule");
  ASSERT_EQ(t.rows(), 4);
  ASSERT_EQ(t.columns(), 6);
  EXPECT_EQ(t.label(LabelArray::rows, 0, 0).text, "Stage");
  EXPECT_EQ(t.label(LabelArray::columns, 0, 0).text, "Statistics");
  const char* headers[] = {"Cluster Combined: Cluster 1",
                           "Cluster Combined: Cluster 2",
                           "Coefficients",
                           "Stage Cluster First Appears: Cluster 1",
                           "Stage Cluster First Appears: Cluster 2",
                           "Next Stage"};
  for (std::int32_t c = 0; c < 6; ++c) EXPECT_EQ(t.label(LabelArray::columns, 1, c).text, headers[c]);
  const std::vector<std::vector<std::string>> expected = {
      {"3", "4", "1.0000000E+000", "0", "0", "3"},
      {"1", "2", "1.0000000E+000", "0", "0", "4"},
      {"3", "5", "2.0000000E+000", "1", "0", "4"},
      {"1", "3", "3.0000000E+000", "2", "3", "0"},
  };
  for (std::int32_t r = 0; r < 4; ++r) {
    EXPECT_EQ(t.label(LabelArray::rows, r, 1).text, " " + std::to_string(r + 1));
    EXPECT_EQ(t.label(LabelArray::rows, r, 1).alignment, 1);
    for (std::int32_t c = 0; c < 6; ++c)
      expectCell(t.cell(r, c), expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)], 1,
                 c == 2 ? 3 : 0);
  }
  EXPECT_TRUE(t.autofitted);
  EXPECT_EQ(t.updateScreen, 1);
  EXPECT_FALSE(item(1).active);
}

TEST_F(OutputFactoryTest, AgglomerationScheduleOfTwoObjectsHasOneStageWithoutLinks) {
  auto clustered = cluster(*ClusterMethodFactory::getSingleLinkage(), 2, {4.5});
  Of::writeAgglomerationSchedule(doc(), clustered.solution());
  const auto& t = table(1);
  ASSERT_EQ(t.rows(), 1);
  const std::vector<std::string> row = {"1", "2", "4.5000000E+000", "0", "0", "0"};
  for (std::int32_t c = 0; c < 6; ++c) EXPECT_EQ(t.cell(0, c).value, row[static_cast<std::size_t>(c)]);
}

// ----------------------------------------------------------- text helpers

TEST(OutputFactoryText, RtfTextWrapsTheTextInTheOneEnvelope) {
  EXPECT_EQ(Of::rtfText("Hello"),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl{\\f0\\fmodern\\fprq1 Courier New;}"
            "{\\f1\\fnil\\fcharset2 SPSS Marker Set;}{\\f2\\fswiss\\fcharset0 Arial;}}"
            "{\\colortbl\\red0\\green0\\blue0;}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs20 Hello\\par }");
}

TEST(OutputFactoryText, MaxObjectLabelLengthCountsCharacters) {
  ProximityMatrix none;
  EXPECT_EQ(Of::maxObjectLabelLength(none), 0);
  ProximityMatrix named;
  named.assignLowerTriangle(3, {1, 2, 3}, {"ab", "Z\xC3\xBCrich", "abcd"});
  EXPECT_EQ(Of::maxObjectLabelLength(named), 6);
}

// ------------------------------------------------------ failing automation

TEST_F(OutputFactoryTest, AnEmptyDocumentIsPromptedAndTheOperationGivesUpOnNo) {
  boxes_.scriptAnswer(MessageAnswer::no);
  boxes_.scriptAnswer(MessageAnswer::no);
  EXPECT_EQ(Of::writeError(nullptr, "x"), -1);
  Of::writeCreditTable(nullptr);
  ASSERT_EQ(boxes_.shown().size(), 2u);
  for (const auto& box : boxes_.shown()) {
    EXPECT_EQ(box.caption, "_ASSERTE: ");
    EXPECT_EQ(box.text.rfind("intf != 0 @ ", 0), 0u) << box.text;
  }
  EXPECT_EQ(addedItems(), 0u);
}

TEST_F(OutputFactoryTest, AnEmptyDocumentAnsweredYesEndsTheRun) {
  boxes_.scriptAnswer(MessageAnswer::yes);
  EXPECT_THROW(Of::insertHeading(nullptr, "Korvana"), output::EAutomationCheckFailed);
}

}  // namespace
}  // namespace korvana::testing
