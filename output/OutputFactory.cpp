#include "output/OutputFactory.h"

#include <locale.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "SPSS/Spsspvt_tlb.h"
#include "SPSS/Spssrtf_tlb.h"
#include "common/Utf8.h"
#include "engine/ClusterMethod.h"
#include "engine/ProgressMonitor.h"
#include "engine/ProximityMatrix.h"
#include "output/AutomationCallChecks.h"
#include "output/Version.h"

// After the prompt for an empty interface reference the operation gives up.
#define RETURN_IF_EMPTY(intf, ...) \
  do {                             \
    ASSERT_INTF(intf);             \
    if (!(intf)) return __VA_ARGS__; \
  } while (false)

// A checked call whose failure (let go on by the user) ends the operation.
#define RETURN_IF_FAILED(call, ...)                                  \
  do {                                                               \
    if (::korvana::automation::failed(HRCHECK(call))) return __VA_ARGS__; \
  } while (false)

namespace korvana::OutputFactory {

using automation::AutomationPtr;
using Spsspvt_tlb::ISpssDataCells;
using Spsspvt_tlb::ISpssDimension;
using Spsspvt_tlb::ISpssLabels;
using Spsspvt_tlb::ISpssPivotMgr;
using Spsspvt_tlb::ISpssPivotTable;
using Spssrtf_tlb::ISpssrtf;
using Spsswin_tlb::ISpssItem;
using Spsswin_tlb::ISpssItems;

namespace {

constexpr std::int32_t alignLeft = 0;
constexpr std::int32_t alignRight = 1;
constexpr std::int32_t styleBold = 2;

const std::string rtfHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl{\\f0\\fmodern\\fprq1 Courier New;}"
    "{\\f1\\fnil\\fcharset2 SPSS Marker Set;}{\\f2\\fswiss\\fcharset0 Arial;}}"
    "{\\colortbl\\red0\\green0\\blue0;}"
    "\\viewkind4\\uc1\\pard\\cf1\\f0\\fs20 ";

std::string integerText(long long value) { return std::to_string(value); }

// The item at an index of the document.
AutomationPtr<ISpssItem> itemAt(ISpssOutputDoc* document, std::int32_t index) {
  AutomationPtr<ISpssItems> items;
  RETURN_IF_FAILED(document->get_Items(items.put()), nullptr);
  RETURN_IF_EMPTY(items, nullptr);
  AutomationPtr<ISpssItem> item;
  RETURN_IF_FAILED(items->GetItem(index, item.put()), nullptr);
  ASSERT_INTF(item);
  return item;
}

// A table item opened for editing.
struct OpenTable {
  AutomationPtr<ISpssItem> item;
  AutomationPtr<ISpssPivotTable> table;
  explicit operator bool() const { return item && table; }
};

// Inserts a table of one layer and activates it; *index gets the item index.
OpenTable insertTable(ISpssOutputDoc* document, const std::string& label, std::int32_t rows, std::int32_t columns,
                      std::int32_t* index) {
  *index = -1;
  RETURN_IF_EMPTY(document, OpenTable{});
  RETURN_IF_FAILED(document->InsertTable(label, rows, columns, 1, index), OpenTable{});
  OpenTable open;
  open.item = itemAt(document, *index);
  if (!open.item) return {};
  RETURN_IF_FAILED(open.item->ActivateTable(open.table.put()), OpenTable{});
  RETURN_IF_EMPTY(open.table, OpenTable{});
  return open;
}

// The table's pivot manager; null (after the prompt) when there is none. The
// dimension flags only change how the table looks, so a table goes on being
// filled without them.
AutomationPtr<ISpssPivotMgr> pivotManager(ISpssPivotTable* table) {
  AutomationPtr<ISpssPivotMgr> manager;
  RETURN_IF_FAILED(table->PivotManager(manager.put()), nullptr);
  ASSERT_INTF(manager);
  return manager;
}

void setColumnDimensionFlag(ISpssPivotMgr* manager, std::int32_t flag) {
  AutomationPtr<ISpssDimension> dimension;
  RETURN_IF_FAILED(manager->get_ColumnDimension(0, dimension.put()));
  RETURN_IF_EMPTY(dimension);
  dimension->put_ShowLabels(flag);
}

void setRowDimensionFlag(ISpssPivotMgr* manager, std::int32_t flag) {
  AutomationPtr<ISpssDimension> dimension;
  RETURN_IF_FAILED(manager->get_RowDimension(0, dimension.put()));
  RETURN_IF_EMPTY(dimension);
  dimension->put_ShowLabels(flag);
}

AutomationPtr<ISpssLabels> rowLabels(ISpssPivotTable* table) {
  AutomationPtr<ISpssLabels> labels;
  RETURN_IF_FAILED(table->RowLabelArray(labels.put()), nullptr);
  ASSERT_INTF(labels);
  return labels;
}

AutomationPtr<ISpssLabels> columnLabels(ISpssPivotTable* table) {
  AutomationPtr<ISpssLabels> labels;
  RETURN_IF_FAILED(table->ColumnLabelArray(labels.put()), nullptr);
  ASSERT_INTF(labels);
  return labels;
}

AutomationPtr<ISpssDataCells> dataCells(ISpssPivotTable* table) {
  AutomationPtr<ISpssDataCells> cells;
  RETURN_IF_FAILED(table->DataCellArray(cells.put()), nullptr);
  ASSERT_INTF(cells);
  return cells;
}

// Screen update on and the item deactivated: the last steps of every table.
void finishTable(const OpenTable& open) {
  open.table->put_UpdateScreen(1);
  HRCHECK(open.item->Deactivate());
}

std::int32_t writeMessageTable(ISpssOutputDoc* document, const std::string& label, const std::string& message) {
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, label, 1, 1, &index);
  if (!open) return index;
  if (const auto manager = pivotManager(open.table.get())) {
    setColumnDimensionFlag(manager.get(), 0);
    setRowDimensionFlag(manager.get(), 0);
  }
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText(label);
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!cells) return index;
  cells->put_ValueAt(0, 0, message);
  cells->put_HAlignAt(0, 0, alignLeft);
  open.table->put_DataCellWidth(360);
  finishTable(open);
  return index;
}

// Puts a rich-text document into a new title item; returns its index.
std::int32_t insertTextItem(ISpssOutputDoc* document, const std::string& label, const std::string& rtf,
                            std::optional<std::int32_t> height, std::optional<std::int32_t> width) {
  std::int32_t index = -1;
  RETURN_IF_EMPTY(document, index);
  RETURN_IF_FAILED(document->InsertTitle(label, "", &index), index);
  const AutomationPtr<ISpssItem> item = itemAt(document, index);
  if (!item) return index;
  AutomationPtr<ISpssrtf> text;
  RETURN_IF_FAILED(item->ActivateText(text.put()), index);
  RETURN_IF_EMPTY(text, index);
  if (height) item->put_Height(*height);
  if (width) item->put_Width(*width);
  text->put_Content(rtf);
  HRCHECK(item->Deactivate());
  return index;
}

// A filter or weight variable as GetFilterVariable/GetWeightingVariable give
// it: the name and the text shown for it.
struct SelectionVariable {
  std::string name;
  std::string shown;
};

std::optional<SelectionVariable> selectionVariable(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const std::size_t tab = text.find('\t');
  if (tab != std::string::npos) return SelectionVariable{text.substr(0, tab), text.substr(tab + 1)};
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
  return SelectionVariable{text, upper};
}

struct InputFacts {
  std::string data;
  std::string filter = "<none>";
  std::string weight = "<none>";
  long long rows = 0;
};

InputFacts dataSetFacts(ISpssDataDoc* data) {
  InputFacts facts;
  RETURN_IF_EMPTY(data, facts);
  HRCHECK(data->GetDocumentPath(&facts.data));
  std::int32_t cases = 0;
  HRCHECK(data->GetNumberOfCases(&cases));
  facts.rows = cases;

  std::string filterText;
  HRCHECK(data->GetFilterVariable(1, &filterText));
  if (const auto filter = selectionVariable(filterText)) {
    facts.filter = filter->shown;
    facts.rows = 0;
    if (cases > 0) {
      automation::TextArray2D values;
      if (automation::succeeded(HRCHECK(data->GetTextData(filter->name, filter->name, 1, cases, &values))))
        for (const auto& row : values)
          if (!row.empty() && row.front() != "0") ++facts.rows;
    }
  }

  std::string weightText;
  HRCHECK(data->GetWeightingVariable(1, &weightText));
  if (const auto weight = selectionVariable(weightText)) facts.weight = weight->shown;
  return facts;
}

// The shared cells of the permutation fit and solution fit tables.
const char* const fitColumnLabels[5] = {"Solution ID", "SSDif", "Normalized SSDif", "Cophenetic Correlation",
                                        "Random Seed"};
constexpr std::int32_t fitColumnWidths[5] = {200, 130, 70, 70, 80};

void writeFitColumnLabels(ISpssPivotTable* table) {
  const AutomationPtr<ISpssLabels> labels = columnLabels(table);
  if (!labels) return;
  labels->put_ValueAt(0, 0, "Fit");
  for (std::int32_t c = 0; c < 5; ++c) labels->put_ValueAt(1, c, fitColumnLabels[c]);
}

/// A fit value with the digits it holds (13 significant, as the fits are
/// compared), none padded.
void writeStoredValue(ISpssDataCells* cells, std::int32_t row, std::int32_t column, double value) {
  cells->put_ValueAt(row, column, formatScientific(value, 13));
  cells->put_HAlignAt(row, column, alignRight);
  cells->put_HDecimalDigitsAt(row, column, storedDecimals(value, 13));
}

void writeFitRow(ISpssDataCells* cells, std::int32_t row, const SolutionId& id, double normalizedSSDif,
                 double correlation, double sumOfSquares, bool blankSeed, std::int32_t seed) {
  cells->put_ValueAt(row, 0, solutionIdText(id));
  cells->put_HAlignAt(row, 0, alignLeft);
  cells->put_HDecimalDigitsAt(row, 0, 0);
  cells->put_ValueAt(row, 1, formatScientific(ssdifOf(normalizedSSDif, sumOfSquares), 13));
  cells->put_HAlignAt(row, 1, alignRight);
  cells->put_NumericFormatAt(row, 1, "#.##E+##");
  writeStoredValue(cells, row, 2, normalizedSSDif);
  writeStoredValue(cells, row, 3, reportedCorrelation(correlation));
  cells->put_ValueAt(row, 4, blankSeed ? std::string(" ") : integerText(seed));
  cells->put_HAlignAt(row, 4, alignRight);
  cells->put_HDecimalDigitsAt(row, 4, 0);
}

void setFitColumnWidths(ISpssDataCells* cells) {
  for (std::int32_t c = 0; c < 5; ++c) cells->put_ColumnWidthAt(c, fitColumnWidths[c]);
}

}  // namespace

void prepareOutputDocument(ISpssOutputDoc* document) {
  RETURN_IF_EMPTY(document);
  AutomationPtr<ISpssItems> items;
  RETURN_IF_FAILED(document->get_Items(items.put()));
  RETURN_IF_EMPTY(items);
  std::int32_t count = 0;
  RETURN_IF_FAILED(items->get_Count(&count));
  for (std::int32_t i = 0; i < count; ++i) {
    AutomationPtr<ISpssItem> item;
    if (automation::failed(HRCHECK(items->GetItem(i, item.put())))) continue;
    RETURN_IF_EMPTY(item);
    HRCHECK(item->Deactivate());
    if (i == count - 1) item->put_Current(1);
  }
}

std::int32_t insertHeading(ISpssOutputDoc* document, const std::string& label) {
  std::int32_t index = -1;
  RETURN_IF_EMPTY(document, index);
  HRCHECK(document->InsertHeading(label, &index));
  return index;
}

std::int32_t insertTitle(ISpssOutputDoc* document, const std::string& titleText) {
  std::int32_t index = -1;
  RETURN_IF_EMPTY(document, index);
  HRCHECK(document->InsertTitle(titleLabel, titleText, &index));
  return index;
}

void promoteToLevel(ISpssOutputDoc* document, std::int32_t itemIndex, std::int32_t level) {
  RETURN_IF_EMPTY(document);
  const AutomationPtr<ISpssItem> item = itemAt(document, itemIndex);
  if (!item) return;
  item->put_Selected(1);
  std::int32_t current = 0;
  RETURN_IF_FAILED(item->get_Level(&current));
  while (current > level) {
    RETURN_IF_FAILED(document->Promote());
    const std::int32_t before = current;
    RETURN_IF_FAILED(item->get_Level(&current));
    if (current >= before) return;  // the document promotes no further
  }
}

std::int32_t writeWarning(ISpssOutputDoc* document, const std::string& message) {
  return writeMessageTable(document, "Warning", message);
}

std::int32_t writeError(ISpssOutputDoc* document, const std::string& message) {
  return writeMessageTable(document, "Error", message);
}

std::int32_t writeCanceled(ISpssOutputDoc* document, const std::string& message) {
  return writeMessageTable(document, "Canceled", message);
}

std::string rtfText(const std::string& text) { return rtfHeader + text + "\\par }"; }

int maxObjectLabelLength(const ProximityMatrix& matrix) {
  int longest = 0;
  for (int i = 0; i < matrix.getNumberOfObjects(); ++i)
    longest = std::max(longest, static_cast<int>(utf8::characterCount(matrix.getObjectLabel(i))));
  return longest;
}

void writeCreditTable(ISpssOutputDoc* document) {
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Credit", 6, 1, &index);
  if (!open) return;
  if (const auto manager = pivotManager(open.table.get())) setColumnDimensionFlag(manager.get(), 0);
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Credit");
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!cells) return;
  const std::string lines[6] = {productName, "Version " + Version::getVersionText(), "by",
                                creditLines[0], creditLines[1], creditLines[2]};
  for (std::int32_t r = 0; r < 6; ++r) {
    cells->put_ValueAt(r, 0, lines[r]);
    cells->put_HAlignAt(r, 0, alignLeft);
    cells->put_TextColorAt(r, 0, 0xFF0000);
    cells->put_TextSizeAt(r, 0, 14);
  }
  open.table->put_DataCellWidth(360);
  finishTable(open);
  open.item->put_Visible(1);
}

std::string outputCreatedText() {
  const time_t now = ::time(nullptr);
  struct tm local {};
  ::localtime_r(&now, &local);
  char text[256] = {};
  locale_t userLocale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (userLocale != static_cast<locale_t>(0)) {
    ::strftime_l(text, sizeof text, "%x %X", &local, userLocale);
    ::freelocale(userLocale);
  } else {
    ::strftime(text, sizeof text, "%x %X", &local);
  }
  return text;
}

void writeNotesTable(const NotesTableSettings& settings) {
  InputFacts facts;
  if (settings.analyzesData) {
    facts = dataSetFacts(settings.dataDocument);
  } else {
    facts.data = settings.matrixFileName;
    facts.rows = settings.matrixObjectCount;
  }
  const bool data = settings.analyzesData;

  struct Row {
    const char* label;
    bool group;
    std::string cell;
    std::int32_t alignment;
    bool integer;
  };
  const Row rows[17] = {
      {"Output Created", true, outputCreatedText(), alignRight, false},
      {"Input", true, " ", alignLeft, false},
      {"Data", false, facts.data, alignLeft, false},
      {"Filter", false, facts.filter, alignLeft, false},
      {"Weight", false, facts.weight, alignLeft, false},
      {"Split File", false, "<none>", alignLeft, false},
      {"N of Rows in Working Data File", false, integerText(facts.rows), alignRight, true},
      {"General", true, " ", alignLeft, false},
      {"Cluster Method", false, settings.clusterMethod ? settings.clusterMethod->getName() : std::string(),
       alignLeft, false},
      {"View", false, data ? (settings.view == ClusterView::cases ? "cases" : "variables") : "<none>", alignLeft, false},
      {"Number of Permutations", false, integerText(settings.permutationCount), alignRight, true},
      {"Analysis Type", false, data ? "analyze data" : "analyze proximities", alignLeft, false},
      {"Proximities Syntax", false, data ? settings.syntax : "<none>", alignLeft, false},
      {"Options", true, " ", alignLeft, false},
      {"First Permutation is Identity", false, settings.firstPermutationIsIdentity ? "yes" : "no", alignLeft,
       false},
      {"Start Seed", false, integerText(settings.startSeed), alignRight, true},
      {"Permutation Fit Table Filename", false, settings.saveFitTable ? settings.fitTableFileName : "<none>",
       alignLeft, false},
  };

  std::int32_t index = -1;
  const OpenTable open = insertTable(settings.document, "Notes", 17, 1, &index);
  if (!open) return;
  if (const auto manager = pivotManager(open.table.get())) setColumnDimensionFlag(manager.get(), 0);
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Notes");
  const AutomationPtr<ISpssLabels> labels = rowLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!labels || !cells) return;
  for (std::int32_t r = 0; r < 17; ++r) {
    const Row& row = rows[r];
    labels->put_ValueAt(r, 1, row.group ? std::string(row.label) : "      " + std::string(row.label));
    labels->put_TextAlignmentAt(r, 1, alignLeft);
    if (row.group) labels->put_TextStyleAt(r, 1, styleBold);
    if (r == 0) labels->put_WidthAt(r, 1, 173);
    cells->put_ValueAt(r, 0, row.cell);
    cells->put_HAlignAt(r, 0, row.alignment);
    if (row.integer) cells->put_HDecimalDigitsAt(r, 0, 0);
  }
  open.table->put_DataCellWidth(162);
  finishTable(open);
  open.item->put_Visible(0);
}

void writePermutationFitTable(ISpssOutputDoc* document, int permutationCount,
                              const std::vector<double>& normalizedSSDif,
                              const std::vector<double>& copheneticCorrelation, double sumOfSquares,
                              bool firstPermutationIsIdentity, const std::vector<std::int32_t>& seeds,
                              const std::vector<SolutionId>& solutionIds, ProgressMonitor& progress,
                              const std::function<void()>& processMessages, const std::string& note) {
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Permutation Fit", permutationCount, 5, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Permutation Fit");
  if (!note.empty()) open.table->put_Caption(note);
  const AutomationPtr<ISpssLabels> labels = rowLabels(open.table.get());
  if (!labels) return;
  labels->put_ValueAt(0, 0, "Permutation");
  labels->put_WidthAt(0, 0, 65);
  writeFitColumnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!cells) return;

  const std::size_t available = std::min({normalizedSSDif.size(), copheneticCorrelation.size(), seeds.size(),
                                          solutionIds.size()});
  for (std::int32_t i = 0; i < permutationCount; ++i) {
    if (progress.isCanceled()) break;
    const auto u = static_cast<std::size_t>(i);
    if (u >= available) break;
    labels->put_ValueAt(i, 1, " " + integerText(i + 1));
    labels->put_TextAlignmentAt(i, 1, alignRight);
    labels->put_WidthAt(i, 1, 65);
    writeFitRow(cells.get(), i, solutionIds[u], normalizedSSDif[u], copheneticCorrelation[u], sumOfSquares,
                i == 0 && firstPermutationIsIdentity, seeds[u]);
    if (processMessages) processMessages();
    else progress.processMessages();
  }
  if (firstPermutationIsIdentity && permutationCount > 0) {
    if (automation::succeeded(HRCHECK(labels->SelectLabelAt(0, 1))))
      open.table->put_FootnoteOnSelectedLabel("Identity permutation");
  }
  setFitColumnWidths(cells.get());
  finishTable(open);
}

std::string fitTableNote(bool wardHeights) {
  std::string note =
      "Normalized SSDif: the sum of squared differences between each pair's proximity and its height in the tree, "
      "divided by the sum of squared proximities (0: the tree holds every proximity).";
  if (wardHeights)
    note += " Ward's heights are merge costs, twice the increase in the within-group sum of squares (the "
            "coefficients accumulate them), not distances: its fits compare only with other Ward runs.";
  note += " Random Seed: korvana-batch --reproduce with it and the same request clusters that permutation alone.";
  return note;
}

void writeSolutionFitTable(ISpssOutputDoc* document, const ClusterSolution& solution, double sumOfSquares,
                           const std::string& note) {
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Fit", 1, 5, &index);
  if (!open) return;
  if (const auto manager = pivotManager(open.table.get())) setRowDimensionFlag(manager.get(), 0);
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Fit");
  if (!note.empty()) open.table->put_Caption(note);
  writeFitColumnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!cells) return;
  writeFitRow(cells.get(), 0, solution.getSolutionId(), solution.getNormalizedSSDif(),
              solution.getCopheneticCorrelation(), sumOfSquares, solution.isIdentityPermutation(),
              solution.getSeed());
  setFitColumnWidths(cells.get());
  finishTable(open);
}

void writeOrderFreeSchedule(ISpssOutputDoc* document, const OrderFreeTree& tree) {
  const auto& merges = tree.getMerges();
  const auto count = static_cast<std::int32_t>(merges.size());
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Agglomeration Schedule", count, 5, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Agglomeration Schedule");
  open.table->put_Caption("Each merge joins every cluster tied at its height; the range is that of the proximities "
                          "between the clusters it joins");
  const AutomationPtr<ISpssLabels> rows = rowLabels(open.table.get());
  const AutomationPtr<ISpssLabels> columns = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!rows || !columns || !cells) return;
  rows->put_ValueAt(0, 0, "Stage");
  static const char* const headers[5] = {"Clusters Combined", "Height", "Range: Lowest", "Range: Highest",
                                         "Number of Objects"};
  columns->put_ValueAt(0, 0, "Statistics");
  for (std::int32_t c = 0; c < 5; ++c) columns->put_ValueAt(1, c, headers[c]);
  for (std::int32_t i = 0; i < count; ++i) {
    const OrderFreeMerge& merge = merges[static_cast<std::size_t>(i)];
    rows->put_ValueAt(i, 1, " " + integerText(i + 1));
    rows->put_TextAlignmentAt(i, 1, alignRight);
    std::string clusters;
    for (const int cluster : merge.clusters) clusters += (clusters.empty() ? "" : ", ") + integerText(cluster + 1);
    cells->put_ValueAt(i, 0, clusters);
    cells->put_HAlignAt(i, 0, alignLeft);
    const double values[3] = {merge.height, merge.lowest, merge.highest};
    for (std::int32_t c = 1; c <= 3; ++c) {
      cells->put_ValueAt(i, c, formatScientific(values[c - 1], 8));
      cells->put_HAlignAt(i, c, alignRight);
      cells->put_HDecimalDigitsAt(i, c, 3);
    }
    cells->put_ValueAt(i, 4, integerText(merge.objectCount));
    cells->put_HAlignAt(i, 4, alignRight);
    cells->put_HDecimalDigitsAt(i, 4, 0);
  }
  HRCHECK(open.table->Autofit());
  finishTable(open);
}

void writeOrderFreeFitTable(ISpssOutputDoc* document, const OrderFreeTree& tree, const std::string& comparison) {
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Fit", 1, 3, &index);
  if (!open) return;
  if (const auto manager = pivotManager(open.table.get())) setRowDimensionFlag(manager.get(), 0);
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Fit");
  open.table->put_Caption(comparison);
  const AutomationPtr<ISpssLabels> labels = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!labels || !cells) return;
  labels->put_ValueAt(0, 0, "Fit");
  const double fit = tree.getNormalizedSSDif();
  for (std::int32_t c = 0; c < 3; ++c) {
    labels->put_ValueAt(1, c, fitColumnLabels[c + 1]);
    cells->put_ColumnWidthAt(c, fitColumnWidths[c + 1]);
  }
  cells->put_ValueAt(0, 0, formatScientific(fit * tree.getSumOfSquares(), 13));
  cells->put_HAlignAt(0, 0, alignRight);
  cells->put_NumericFormatAt(0, 0, "#.##E+##");
  writeStoredValue(cells.get(), 0, 1, fit);
  writeStoredValue(cells.get(), 0, 2, reportedCorrelation(tree.getCopheneticCorrelation()));
  finishTable(open);
}

std::string orderFreeComparison(double treeFit, double bestFit) {
  if (std::isnan(treeFit) || std::isnan(bestFit))
    return "The fit of the order-free tree cannot be compared with the best-fitting permutations': a normalized "
           "SSDif is not a number.";
  // Enough digits to show the difference the comparison finds.
  int digits = 8;
  if (treeFit != bestFit && formatScientific(treeFit, digits) == formatScientific(bestFit, digits)) digits = 13;
  const std::string tree = formatScientific(treeFit, digits);
  const std::string best = formatScientific(bestFit, digits);
  if (treeFit == bestFit)
    return "The order-free tree fits the proximities as well as the best-fitting permutations: normalized SSDif " +
           tree + " for both.";
  if (treeFit > bestFit)
    return "The order-free tree fits the proximities worse than the best-fitting permutations: normalized SSDif " +
           tree + " against " + best + ".";
  return "The order-free tree fits the proximities better than every permutation: normalized SSDif " + tree +
         " against " + best + " for the best-fitting ones.";
}

std::string orderFreeHierarchySentence(int bestWithIt, int bestCount, int allWithIt, int allCount) {
  const auto of = [](int part, int whole, const char* what) {
    return integerText(part) + " of the " + integerText(whole) + " " + what;
  };
  if (bestWithIt > 0)
    return "Its hierarchy is that of " + of(bestWithIt, bestCount, "best-fitting permutations") + " (" +
           of(allWithIt, allCount, "permutations") + ").";
  if (allWithIt > 0)
    return "Its hierarchy is none of the best-fitting permutations', but that of " +
           of(allWithIt, allCount, "permutations") + ".";
  return "Its hierarchy is none of the " + integerText(allCount) + " permutations'.";
}

void writeObjectOrderTable(ISpssOutputDoc* document, const ClusterSolution& solution) {
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Object Order", 1, 1, &index);
  if (!open) return;
  if (const auto manager = pivotManager(open.table.get())) {
    setRowDimensionFlag(manager.get(), 0);
    setColumnDimensionFlag(manager.get(), 1);
  }
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Object Order");
  open.table->put_Caption("Note: The above entities are the object identifiers in the original proximity matrix");
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!cells) return;
  std::string order;
  for (const int object : solution.getPermutation()) {
    if (!order.empty()) order += ", ";
    order += integerText(object + 1);
  }
  cells->put_ValueAt(0, 0, order);
  cells->put_HAlignAt(0, 0, alignLeft);
  open.table->put_DataCellWidth(425);
  finishTable(open);
}

void writeAgglomerationSchedule(ISpssOutputDoc* document, const ClusterSolution& solution) {
  const std::int32_t stages = solution.getStageCount();
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Agglomeration Schedule", stages, 6, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Agglomeration Schedule");
  const AutomationPtr<ISpssLabels> rows = rowLabels(open.table.get());
  const AutomationPtr<ISpssLabels> columns = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!rows || !columns || !cells) return;
  rows->put_ValueAt(0, 0, "Stage");
  for (std::int32_t i = 0; i < stages; ++i) {
    rows->put_ValueAt(i, 1, " " + integerText(i + 1));
    rows->put_TextAlignmentAt(i, 1, alignRight);
  }
  static const char* const headers[6] = {"Cluster Combined: Cluster 1",
                                         "Cluster Combined: Cluster 2",
                                         "Coefficients",
                                         "Stage Cluster First Appears: Cluster 1",
                                         "Stage Cluster First Appears: Cluster 2",
                                         "Next Stage"};
  columns->put_ValueAt(0, 0, "Statistics");
  for (std::int32_t c = 0; c < 6; ++c) columns->put_ValueAt(1, c, headers[c]);
  const auto integerCell = [&](std::int32_t row, std::int32_t column, int value) {
    cells->put_ValueAt(row, column, integerText(value));
    cells->put_HAlignAt(row, column, alignRight);
    cells->put_HDecimalDigitsAt(row, column, 0);
  };
  for (std::int32_t i = 0; i < stages; ++i) {
    integerCell(i, 0, solution.getCluster1(i) + 1);
    integerCell(i, 1, solution.getCluster2(i) + 1);
    cells->put_ValueAt(i, 2, formatScientific(solution.getCoefficient(i), 8));
    cells->put_HAlignAt(i, 2, alignRight);
    cells->put_HDecimalDigitsAt(i, 2, 3);
    integerCell(i, 3, solution.getFirstAppears1(i) + 1);
    integerCell(i, 4, solution.getFirstAppears2(i) + 1);
    integerCell(i, 5, solution.getNextStage(i) + 1);
  }
  HRCHECK(open.table->Autofit());
  finishTable(open);
}

void writeDistinctSolutionsTable(ISpssOutputDoc* document, const SupportReport& report) {
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Distinct Solutions", 4, 5, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Distinct Solutions");
  open.table->put_Caption(
      "A hierarchy is a tree with the merges at equal heights taken together: merge orders that differ only in "
      "how ties at one height were broken have the same hierarchy. Estimated total: D + f1(f1 - 1) / (2(f2 + 1)) "
      "(bias-corrected Chao1), with D distinct, f1 seen once and f2 seen twice; near D when more permutations "
      "would find few new ones");
  const AutomationPtr<ISpssLabels> rows = rowLabels(open.table.get());
  const AutomationPtr<ISpssLabels> columns = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!rows || !columns || !cells) return;
  static const char* const headers[5] = {"Permutations", "Distinct", "Seen Once", "Seen Twice", "Estimated Total"};
  columns->put_ValueAt(0, 0, "Statistics");
  for (std::int32_t c = 0; c < 5; ++c) columns->put_ValueAt(1, c, headers[c]);
  const DistinctSolutions* counted[4] = {&report.all, &report.best, &report.hierarchiesAll, &report.hierarchiesBest};
  static const char* const rowNames[2] = {"All", "Best-fitting"};
  for (std::int32_t r = 0; r < 4; ++r) {
    if (r % 2 == 0) rows->put_ValueAt(r, 0, r == 0 ? "Merge Orders" : "Hierarchies");
    rows->put_ValueAt(r, 1, rowNames[r % 2]);
    const DistinctSolutions& d = *counted[r];
    const int values[4] = {d.permutations, d.distinct, d.seenOnce, d.seenTwice};
    for (std::int32_t c = 0; c < 4; ++c) {
      cells->put_ValueAt(r, c, integerText(values[c]));
      cells->put_HAlignAt(r, c, alignRight);
      cells->put_HDecimalDigitsAt(r, c, 0);
    }
    cells->put_ValueAt(r, 4, formatScientific(d.estimatedTotal, 8));
    cells->put_HAlignAt(r, 4, alignRight);
    cells->put_HDecimalDigitsAt(r, 4, 3);
  }
  HRCHECK(open.table->Autofit());
  finishTable(open);
}

void writeClusterSupportTable(ISpssOutputDoc* document, const ClusterSolution& solution,
                              const std::vector<StageSupport>& hierarchySupport, const std::vector<char>& folded) {
  const std::int32_t stages = solution.getStageCount();
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Cluster Support", stages, 7, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Cluster Support");
  open.table->put_Caption(
      "Support: the percentage of the permutations whose hierarchy holds the cluster the stage forms, over all "
      "completed permutations and over those with the best fit. A folded cluster forms at the height of the "
      "cluster that absorbs it: it is not a cluster of the hierarchy, whose merge at that height takes its parts "
      "together");
  const AutomationPtr<ISpssLabels> rows = rowLabels(open.table.get());
  const AutomationPtr<ISpssLabels> columns = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!rows || !columns || !cells) return;
  rows->put_ValueAt(0, 0, "Stage");
  static const char* const headers[7] = {"Cluster Combined: Cluster 1", "Cluster Combined: Cluster 2",
                                         "Coefficients",                "Number of Objects",
                                         "Folded",                      "Support (%): All",
                                         "Support (%): Best-fitting"};
  columns->put_ValueAt(0, 0, "Statistics");
  for (std::int32_t c = 0; c < 7; ++c) columns->put_ValueAt(1, c, headers[c]);
  const auto integerCell = [&](std::int32_t row, std::int32_t column, int value) {
    cells->put_ValueAt(row, column, integerText(value));
    cells->put_HAlignAt(row, column, alignRight);
    cells->put_HDecimalDigitsAt(row, column, 0);
  };
  const auto percentCell = [&](std::int32_t row, std::int32_t column, double share) {
    cells->put_ValueAt(row, column, std::isnan(share) ? std::string(" ") : formatScientific(share * 100.0, 8));
    cells->put_HAlignAt(row, column, alignRight);
    cells->put_HDecimalDigitsAt(row, column, 1);
  };
  std::vector<int> sizes(static_cast<std::size_t>(solution.getObjectCount()), 1);
  for (std::int32_t t = 0; t < stages; ++t) {
    rows->put_ValueAt(t, 1, " " + integerText(t + 1));
    rows->put_TextAlignmentAt(t, 1, alignRight);
    int& size = sizes[static_cast<std::size_t>(solution.getCluster1(t))];
    size += sizes[static_cast<std::size_t>(solution.getCluster2(t))];
    integerCell(t, 0, solution.getCluster1(t) + 1);
    integerCell(t, 1, solution.getCluster2(t) + 1);
    cells->put_ValueAt(t, 2, formatScientific(solution.getCoefficient(t), 8));
    cells->put_HAlignAt(t, 2, alignRight);
    cells->put_HDecimalDigitsAt(t, 2, 3);
    integerCell(t, 3, size);
    const bool isFolded = folded.at(static_cast<std::size_t>(t)) != 0;
    cells->put_ValueAt(t, 4, isFolded ? "Yes" : "No");
    cells->put_HAlignAt(t, 4, alignLeft);
    percentCell(t, 5, isFolded ? std::nan("") : hierarchySupport.at(static_cast<std::size_t>(t)).all);
    percentCell(t, 6, isFolded ? std::nan("") : hierarchySupport.at(static_cast<std::size_t>(t)).best);
  }
  HRCHECK(open.table->Autofit());
  finishTable(open);
}

int storedDecimals(double value, int digits) {
  if (!std::isfinite(value) || value == 0.0) return 0;
  // The value's own digits: its text with `digits` significant digits,
  // without the zeros at its end.
  const std::string text = detail::formatScientificWith(value, digits, ".");
  const std::size_t e = text.find('E');
  const std::size_t point = text.find('.');
  if (e == std::string::npos) return 0;
  std::size_t last = e;
  while (last > 0 && text[last - 1] == '0') --last;
  const int fraction = point == std::string::npos || last <= point + 1 ? 0 : static_cast<int>(last - point - 1);
  const int exponent = std::stoi(text.substr(e + 1));
  return std::max(0, fraction - exponent);
}

std::string objectRangesText(const std::vector<int>& objects) {
  std::string text;
  for (std::size_t i = 0; i < objects.size();) {
    std::size_t j = i;
    while (j + 1 < objects.size() && objects[j + 1] == objects[j] + 1) ++j;
    if (!text.empty()) text += ", ";
    text += integerText(objects[i] + 1);
    if (j > i) text += (j == i + 1 ? ", " : "-") + integerText(objects[j] + 1);
    i = j + 1;
  }
  return text;
}

void writeConsensusTable(ISpssOutputDoc* document, const Consensus& consensus, int hierarchies, bool bestFitting) {
  const auto count = static_cast<std::int32_t>(consensus.clusters.size());
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Consensus Tree", count, 3, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  const std::string title =
      std::string("Consensus Tree: ") + (bestFitting ? "Best-fitting Permutations" : "All Permutations");
  open.table->put_TitleText(title);
  open.table->put_Caption("Majority-rule consensus: the clusters held by more than half of the hierarchies of the " +
                          integerText(hierarchies) + (bestFitting ? " best-fitting" : "") +
                          " permutations, with the percentage that holds each; objects numbered as in the "
                          "proximity matrix");
  const AutomationPtr<ISpssLabels> rows = rowLabels(open.table.get());
  const AutomationPtr<ISpssLabels> columns = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!rows || !columns || !cells) return;
  rows->put_ValueAt(0, 0, "Cluster");
  static const char* const headers[3] = {"Number of Objects", "Support (%)", "Objects"};
  columns->put_ValueAt(0, 0, "Statistics");
  for (std::int32_t c = 0; c < 3; ++c) columns->put_ValueAt(1, c, headers[c]);
  for (std::int32_t r = 0; r < count; ++r) {
    const ConsensusCluster& cluster = consensus.clusters[static_cast<std::size_t>(r)];
    rows->put_ValueAt(r, 1, " " + integerText(r + 1));
    rows->put_TextAlignmentAt(r, 1, alignRight);
    cells->put_ValueAt(r, 0, integerText(static_cast<long long>(cluster.objects.size())));
    cells->put_HAlignAt(r, 0, alignRight);
    cells->put_HDecimalDigitsAt(r, 0, 0);
    cells->put_ValueAt(r, 1, formatScientific(cluster.support * 100.0, 8));
    cells->put_HAlignAt(r, 1, alignRight);
    cells->put_HDecimalDigitsAt(r, 1, 1);
    cells->put_ValueAt(r, 2, objectRangesText(cluster.objects));
    cells->put_HAlignAt(r, 2, alignLeft);
  }
  HRCHECK(open.table->Autofit());
  finishTable(open);
}

void writeOtherMergeOrdersTable(ISpssOutputDoc* document, const std::vector<const ClusterSolution*>& others) {
  const auto count = static_cast<std::int32_t>(others.size());
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Other Merge Orders", count, 3, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Other Merge Orders of this Hierarchy");
  open.table->put_Caption(
      "The other kept solutions with the same hierarchy and fit: their merges differ only in the order of merges "
      "at equal heights. A seed reproduces its solution as the start seed of a run without the identity first");
  const AutomationPtr<ISpssLabels> rows = rowLabels(open.table.get());
  const AutomationPtr<ISpssLabels> columns = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!rows || !columns || !cells) return;
  rows->put_ValueAt(0, 0, "Solution");
  static const char* const headers[3] = {"Solution Id", "Permutation", "Random Seed"};
  columns->put_ValueAt(0, 0, "Statistics");
  for (std::int32_t c = 0; c < 3; ++c) columns->put_ValueAt(1, c, headers[c]);
  for (std::int32_t r = 0; r < count; ++r) {
    const ClusterSolution& solution = *others[static_cast<std::size_t>(r)];
    rows->put_ValueAt(r, 1, " " + integerText(r + 1));
    rows->put_TextAlignmentAt(r, 1, alignRight);
    cells->put_ValueAt(r, 0, solutionIdText(solution.getSolutionId()));
    cells->put_HAlignAt(r, 0, alignLeft);
    cells->put_ValueAt(r, 1, integerText(solution.getPermutationIndex() + 1));
    cells->put_HAlignAt(r, 1, alignRight);
    cells->put_HDecimalDigitsAt(r, 1, 0);
    cells->put_ValueAt(r, 2, solution.isIdentityPermutation() ? std::string(" ") : integerText(solution.getSeed()));
    cells->put_HAlignAt(r, 2, alignRight);
    cells->put_HDecimalDigitsAt(r, 2, 0);
  }
  HRCHECK(open.table->Autofit());
  finishTable(open);
}

void writeBestFitTable(ISpssOutputDoc* document, const BestFitHistory& history) {
  const auto count = static_cast<std::int32_t>(history.records.size());
  std::int32_t index = -1;
  const OpenTable open = insertTable(document, "Best Fit", count, 2, &index);
  if (!open) return;
  open.table->put_UpdateScreen(0);
  open.table->put_TitleText("Best Fit");
  open.table->put_Caption("The permutations at which the best normalized SSDif improved. The final best was first "
                          "reached at permutation " + integerText(history.firstReachedAt + 1) + " and reached by " +
                          integerText(history.reachedBy) + (history.reachedBy == 1 ? " permutation" : " permutations"));
  const AutomationPtr<ISpssLabels> rows = rowLabels(open.table.get());
  const AutomationPtr<ISpssLabels> columns = columnLabels(open.table.get());
  const AutomationPtr<ISpssDataCells> cells = dataCells(open.table.get());
  if (!rows || !columns || !cells) return;
  rows->put_ValueAt(0, 0, "Improvement");
  columns->put_ValueAt(0, 0, "Statistics");
  columns->put_ValueAt(1, 0, "Permutation");
  columns->put_ValueAt(1, 1, "Normalized SSDif");
  for (std::int32_t r = 0; r < count; ++r) {
    const BestFitRecord& record = history.records[static_cast<std::size_t>(r)];
    rows->put_ValueAt(r, 1, " " + integerText(r + 1));
    rows->put_TextAlignmentAt(r, 1, alignRight);
    cells->put_ValueAt(r, 0, integerText(record.permutation + 1));
    cells->put_HAlignAt(r, 0, alignRight);
    cells->put_HDecimalDigitsAt(r, 0, 0);
    cells->put_ValueAt(r, 1, formatScientific(record.normalizedSSDif, 13));
    cells->put_HAlignAt(r, 1, alignRight);
    cells->put_HDecimalDigitsAt(r, 1, storedDecimals(record.normalizedSSDif, 13));
  }
  HRCHECK(open.table->Autofit());
  finishTable(open);
}

std::int32_t writeMessage(ISpssOutputDoc* document, const std::string& label, const std::string& message) {
  return writeMessageTable(document, label, message);
}

std::int32_t writeVerdict(ISpssOutputDoc* document, const std::string& verdict) {
  return writeMessageTable(document, "Verdict", verdict);
}

void writeDendrogram(ISpssOutputDoc* document, const ClusterMethod& method, const ProximityMatrix& matrix,
                     const ClusterSolution& solution) {
  if (solution.getStageCount() < 1) return;
  const Dendrogram dendrogram(Dendrogram::scheduleOf(solution));
  std::vector<std::string> labels;
  if (matrix.hasObjectLabels()) {
    labels.reserve(static_cast<std::size_t>(matrix.getNumberOfObjects()));
    for (int i = 0; i < matrix.getNumberOfObjects(); ++i) labels.push_back(matrix.getObjectLabel(i));
  }
  writeDendrogram(document, method.getDisplayName(), matrix.hasObjectLabels() ? &labels : nullptr, dendrogram);
}

void writeDendrogram(ISpssOutputDoc* document, const std::string& methodDisplayName,
                     const std::vector<std::string>* labels, const Dendrogram& dendrogram) {
  if (dendrogram.walkFailed()) insertTextItem(document, "Error", rtfText(walkFailureText), {}, {});
  insertTextItem(document, "Dendrogram", dendrogram.richText(methodDisplayName, labels),
                 20 * (dendrogram.objectCount() + 10), 800);
}

}  // namespace korvana::OutputFactory
