// proximities(): the package's PROXIMITIES computation (listwise deletion
// aside: the rows must be complete) on data rows, by measure and
// standardization keyword as korvana-batch takes them.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "include/korvana/korvana.h"
#include "library/Keywords.h"
#include "platform/spss/proximities/ProximitiesComputation.h"

namespace korvana::api {

namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

spss::Standardization standardizationFor(const std::string& keyword) {
  // korvana-batch's words: the command's own, with its RESCALE called RANGE1.
  const std::string word = upper(keyword);
  if (word != "RESCALE")
    if (const auto found = spss::findStandardization(word == "RANGE1" ? "RESCALE" : word)) return *found;
  throw InvalidInput("Unknown standardization '" + keyword + "': use one of NONE, Z, RANGE, RANGE1, MAX, MEAN, SD");
}

}  // namespace

std::vector<std::string> measureKeywords() {
  std::vector<std::string> words;
  for (const spss::MeasureInfo& info : spss::allMeasures()) words.emplace_back(info.keyword);
  return words;
}

bool givesSimilarities(const std::string& measure, bool reverse) {
  const auto found = spss::findMeasure(measure);
  if (!found) throw InvalidInput("Unknown measure '" + measure + "': use one of " + joinedWords(measureKeywords()));
  return spss::measureInfo(*found).isSimilarity != reverse;
}

Matrix proximities(const double* data, std::size_t rows, std::size_t columns, const ProximitiesRequest& request) {
  spss::ProximitiesRequest command;
  givesSimilarities(request.measure);  // refuses an unknown keyword
  command.measure = *spss::findMeasure(request.measure);
  command.standardization = standardizationFor(request.standardize);
  const std::string by = request.by;
  if (by != "variables" && by != "cases")
    throw InvalidInput("Standardize by '" + by + "'? Use \"variables\" or \"cases\"");
  command.standardizeBy = by == "cases" ? spss::StandardizeDirection::byCase : spss::StandardizeDirection::byVariable;
  if (request.power < 1 || request.root < 1)
    throw InvalidInput("The power and root must be at least 1, not " + std::to_string(request.power) + " and " +
                       std::to_string(request.root));
  command.power = request.power;
  command.root = request.root;
  if (request.present == request.absent)
    throw InvalidInput("The present and absent values of a binary measure must differ, not both " +
                       std::to_string(request.present));
  command.presentValue = request.present;
  command.absentValue = request.absent;
  command.binaryParametersGiven = true;
  command.absolute = request.absolute;
  command.reverse = request.reverse;
  command.rescale = request.rescale;
  if (rows < 2) throw InvalidInput("Proximities need at least 2 rows (objects), not " + std::to_string(rows));
  if (columns < 1) throw InvalidInput("Proximities need at least 1 column (variable)");
  for (std::size_t k = 0; k < rows * columns; ++k)
    if (!std::isfinite(data[k]))
      throw InvalidInput("The value in row " + std::to_string(k / columns) + ", column " + std::to_string(k % columns) +
                         " is not a finite number: every value must be one");
  for (std::size_t v = 0; v < columns; ++v) command.variables.push_back("V" + std::to_string(v + 1));

  spss::ProximitiesData values;
  values.caseCount = rows;
  values.variableCount = columns;
  values.values.assign(data, data + rows * columns);
  spss::ProximitiesResult computed;
  try {
    computed = spss::computeProximities(command, values);
  } catch (const spss::EProximitiesError& error) {
    throw InvalidInput(error.what());
  }
  Matrix matrix;
  matrix.objects = static_cast<int>(rows);
  matrix.similarity = !computed.isDissimilarity;
  matrix.lower.assign(computed.lower.data(), computed.lower.data() + rows * (rows - 1) / 2);
  return matrix;
}

}  // namespace korvana::api
