#include "platform/spss/ProximitiesCommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>

#include "platform/spss/DataDocument.h"
#include "platform/spss/ProximitiesMatrixFile.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/proximities/ProximitiesMatrix.h"
#include "platform/spss/proximities/ProximitiesParser.h"

namespace korvana::spss {

namespace {

// The rows of the cases the filter lets through, in data set order.
std::vector<std::size_t> casesInForce(const DataDocument& document) {
  const DataSet& data = document.data();
  std::optional<std::size_t> filter;
  if (!document.filterVariable().empty()) filter = data.findVariable(document.filterVariable());
  std::vector<std::size_t> rows;
  rows.reserve(data.caseCount());
  for (std::size_t row = 0; row < data.caseCount(); ++row) {
    if (filter) {
      const double value = data.numeric(row, *filter);
      if (std::isnan(value) || value == 0.0 || data.isUserMissing(row, *filter)) continue;
    }
    rows.push_back(row);
  }
  return rows;
}

ProximitiesData gatherData(const DataSet& data, const ProximitiesRequest& request,
                           const std::vector<std::size_t>& rows) {
  ProximitiesData gathered;
  gathered.caseCount = rows.size();
  gathered.variableCount = request.variableIndexes.size();
  gathered.values.reserve(gathered.caseCount * gathered.variableCount);
  gathered.missing.reserve(gathered.caseCount * gathered.variableCount);
  gathered.caseNumbers.reserve(rows.size());
  for (const std::size_t row : rows) {
    for (const std::size_t variable : request.variableIndexes) {
      gathered.values.push_back(data.numeric(row, variable));
      gathered.missing.push_back(data.isUserMissing(row, variable) ? 1 : 0);
    }
    gathered.caseNumbers.push_back(static_cast<std::int64_t>(row) + 1);
  }
  return gathered;
}

std::string numberText(double value) {
  if (std::isnan(value)) return ".";
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value == 0.0 ? 0.0 : value);
  return std::string(buffer, written.ptr);
}

void setLabel(PivotTableModel& table, LabelArray array, std::int32_t row, std::int32_t column,
              const std::string& text) {
  PivotLabel& label = table.label(array, row, column);
  label.text = text;
  label.set = true;
}

void setCell(PivotTableModel& table, std::int32_t row, std::int32_t column, const std::string& value,
             std::optional<std::int32_t> decimals = std::nullopt) {
  PivotCell& cell = table.cell(row, column);
  cell.value = value;
  cell.set = true;
  cell.decimals = decimals;
}

void appendTable(OutputDocument& output, const std::string& label, std::unique_ptr<PivotTableModel> table) {
  OutputItem item;
  item.kind = ItemKind::table;
  item.label = label;
  table->title = label;
  item.table = std::move(table);
  output.model().insert(std::move(item));
}

std::string kindText(bool isDissimilarity) { return isDissimilarity ? "dissimilarity" : "similarity"; }

void appendSummary(OutputDocument& output, const ProximitiesRequest& request, const ProximitiesResult& result,
                   std::size_t casesInForceCount) {
  const std::size_t used = result.usedCases.size();
  auto table = std::make_unique<PivotTableModel>(4, 1);
  setLabel(*table, LabelArray::columns, 1, 0, "Value");
  setLabel(*table, LabelArray::rows, 0, 1, "Measure");
  setCell(*table, 0, 0, request.measureText());
  setLabel(*table, LabelArray::rows, 1, 1, "Cases used");
  setCell(*table, 1, 0, std::to_string(used));
  setLabel(*table, LabelArray::rows, 2, 1, "Cases with missing values");
  setCell(*table, 2, 0, std::to_string(casesInForceCount - used));
  setLabel(*table, LabelArray::rows, 3, 1, "Cases in force");
  setCell(*table, 3, 0, std::to_string(casesInForceCount));
  table->caption = std::string("The proximities are ") + (result.isDissimilarity ? "dissimilarities." : "similarities.");
  appendTable(output, "Proximities Summary", std::move(table));
}

void appendMatrix(OutputDocument& output, const ProximitiesMatrix& matrix, const std::vector<std::string>& labels) {
  const std::size_t n = matrix.itemCount();
  const auto items = static_cast<std::int32_t>(n);
  auto table = std::make_unique<PivotTableModel>(items, items);
  std::vector<double> row(n);
  for (std::int32_t i = 0; i < items; ++i) {
    const std::string& label = labels[static_cast<std::size_t>(i)];
    setLabel(*table, LabelArray::rows, i, 1, label);
    setLabel(*table, LabelArray::columns, 1, i, label);
    matrix.rows(static_cast<std::size_t>(i), static_cast<std::size_t>(i) + 1, row.data());
    for (std::int32_t j = 0; j < items; ++j) {
      const double value = row[static_cast<std::size_t>(j)];
      setCell(*table, i, j, numberText(value), std::isnan(value) ? std::nullopt : std::optional<std::int32_t>(3));
    }
  }
  table->caption = "This is a " + kindText(matrix.description().isDissimilarity) + " matrix.";
  appendTable(output, "Proximity Matrix", std::move(table));
}

}  // namespace

void ProximitiesCommand::run(const std::vector<std::string>&, CommandContext& context) {
  DataDocument& document = context.activeData();
  const DataSet& data = document.data();

  std::vector<ProximitiesVariable> dictionary;
  dictionary.reserve(data.variableCount());
  for (std::size_t i = 0; i < data.variableCount(); ++i)
    dictionary.push_back({data.variable(i).name, data.variable(i).isNumeric()});
  const ProximitiesRequest request = ProximitiesParser::parse(context.commandText(), dictionary);
  if (!document.splitVariables().empty())
    throw ECommandError("PROXIMITIES cannot be run while split-file processing is in force; turn SPLIT FILE off.");

  const std::vector<std::size_t> rows = casesInForce(document);
  // The matrix is computed a block of rows at a time as it is written, never
  // held whole.
  const ProximitiesMatrix matrix(request, gatherData(data, request, rows));
  const ProximitiesResult& result = matrix.description();
  if (result.usedCases.empty())
    throw ECommandError("PROXIMITIES has no case to work on: every case was left out by the filter or for a "
                        "missing value in one of the command's variables.");

  const bool byCase = request.view == ProximityView::cases;
  const std::optional<std::size_t> idIndex = byCase ? request.idVariableIndex : std::nullopt;
  std::vector<std::string> idValues;
  if (idIndex) {
    for (const std::size_t used : result.usedCases)
      idValues.push_back(ProximitiesMatrixFile::idValue(data.text(rows[used], *idIndex)));
  }

  if (request.matrixFile) {
    ProximitiesMatrixFileContent content;
    content.matrix = &matrix;
    content.withCaseNumbers = byCase;
    if (byCase) {
      content.variableLabels = result.labels;
    } else {
      for (const std::size_t variable : request.variableIndexes)
        content.variableLabels.push_back(data.variable(variable).label);
    }
    if (idIndex) {
      const DataVariable& id = data.variable(*idIndex);
      content.idName = id.name;
      content.idWidth = id.isNumeric() ? static_cast<int>(ProximitiesMatrixFile::idCharacters)
                                       : std::min<int>(id.type, ProximitiesMatrixFile::maxIdWidth);
      content.idValues = idValues;
    }
    try {
      ProximitiesMatrixFile::write(*request.matrixFile, content);
    } catch (const EKorvanaError& error) {
      throw ECommandError("The matrix file '" + *request.matrixFile + "' could not be written: " + error.what() +
                          ".");
    }
  }

  OutputItem heading;
  heading.kind = ItemKind::heading;
  heading.label = "Proximities";
  context.output().model().insert(std::move(heading));
  appendSummary(context.output(), request, result, rows.size());
  if (request.printMatrix) appendMatrix(context.output(), matrix, idIndex ? idValues : result.names);
}

}  // namespace korvana::spss
