// Reading a proximity matrix from a data file written by the statistics
// package's proximities command (or any file with its layout).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "platform/spssio/SavUtilities.h"
#include "common/EKorvanaError.h"
#include "datafile/ProximityMatrixFile.h"
#include "engine/ProximityMatrix.h"
#include "platform/host/MessageBoxes.h"

namespace korvana {

namespace {

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

/// A case number as a 32-bit integer, truncated toward zero; values that have
/// no such integer (missing, not a number, out of range) become 0.
std::int32_t caseNumberOf(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
  return static_cast<std::int32_t>(value);
}

}  // namespace

bool loadProximityMatrix(const std::string& fileName, ProximityMatrix& matrix) {
  int handle = -1;
  try {
    handle = savOpenRead(fileName);
  } catch (const EKorvanaError& error) {
    host::showErrorBox(error.what());
    return false;
  }

  char** names = nullptr;
  int* types = nullptr;
  int count = 0;
  std::vector<double> variableHandles;
  try {
    count = savGetVarNames(handle, names, types);

    // Classify the leading variables.
    int rowTypePosition = -1, labelPosition = -1, caseNumberPosition = -1, variableNamePosition = -1;
    int leading = 0;
    for (int i = 0; i < count; ++i) {
      const std::string name = lowerCase(names[i]);
      const std::size_t underscore = name.find('_');
      if (name == "rowtype_") {
        rowTypePosition = i;
        ++leading;
      } else if (underscore == std::string::npos || underscore + 1 != name.size()) {
        labelPosition = i;  // a later one replaces an earlier one
        ++leading;
      } else if (name == "caseno_") {
        caseNumberPosition = i;
        ++leading;
      } else if (name == "varname_") {
        variableNamePosition = i;
        ++leading;
        break;
      }
    }
    if (rowTypePosition == -1 || variableNamePosition == -1) throw EKorvanaError("Proximity matrix is invalid");
    if (rowTypePosition != 0) throw EKorvanaError("Split File is not supported");
    const int caseCount = savGetNumberOfCases(handle);
    if (count - leading != caseCount)
      throw EKorvanaError("Proximity matrix is invalid: '" + fileName + "' holds " + std::to_string(caseCount) +
                          " cases for " + std::to_string(count - leading) + " objects");

    const bool hasLabelVariable = labelPosition >= 0;
    const bool hasCaseNumbers = caseNumberPosition >= 0;
    matrix.setHasLabelVariable(hasLabelVariable);
    matrix.setHasCaseNumbers(hasCaseNumbers);
    matrix.setHasObjectLabels(hasCaseNumbers ? hasLabelVariable : true);

    const std::string label = savGetStringValueLabel(handle, names[rowTypePosition], "PROX");
    const std::string kind = lowerCase(label);
    if (!kind.empty()) {
      // A label that names neither direction would leave the clustering to
      // guess which pairs are near; it is refused.
      const bool dissimilarity = kind.find("dissimilarity") != std::string::npos;
      if (!dissimilarity && kind.find("similarity") == std::string::npos)
        throw EKorvanaError("The label of PROX, '" + label + "', says neither similarity nor dissimilarity");
      matrix.setIsDissimilarity(dissimilarity);
      matrix.setIsSquaredEuclidean(kind.find(" seu") != std::string::npos);
    } else {
      matrix.setIsDissimilarity(true);
      matrix.setIsSquaredEuclidean(true);
    }

    variableHandles.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) variableHandles[static_cast<std::size_t>(i)] = savGetVarHandle(handle, names[i]);
    auto variable = [&](int position) { return variableHandles[static_cast<std::size_t>(position)]; };

    // The proximities of a case are read as one record, where the object
    // columns lie side by side; a file whose columns are not all numbers
    // takes them value by value, which reports the first that is not.
    std::size_t firstColumn = 0;
    for (int k = 0; k <= variableNamePosition; ++k)
      firstColumn += types[k] == 0 ? 8 : (static_cast<std::size_t>(types[k]) + 7) / 8 * 8;
    bool numericColumns = true;
    for (int k = variableNamePosition + 1; k < count; ++k) numericColumns = numericColumns && types[k] == 0;
    std::vector<char> record(numericColumns ? static_cast<std::size_t>(savGetCaseSize(handle)) : 0);

    matrix.reserve(caseCount);
    for (int i = 0; i < caseCount; ++i) {
      if (!savReadCaseRecord(handle))
        throw EKorvanaError("The proximity matrix file '" + fileName + "' ends after " + std::to_string(i) +
                            " of its " + std::to_string(caseCount) + " cases");
      const std::string rowType = savGetValueChar(handle, variable(rowTypePosition));
      const std::string name = savGetValueChar(handle, variable(variableNamePosition));
      ProximityMatrixRow& row = matrix.appendRow(name, rowType);
      if (numericColumns) {
        savWholeCaseIn(handle, record.data());
        row.setValues(record.data() + firstColumn, std::min(i, count - variableNamePosition - 1));
      } else {
        for (int k = variableNamePosition + 1, l = 0; k < count && l < i; ++k, ++l)
          row.setValue(l, savGetValueNumeric(handle, variable(k)));
      }
      if (hasLabelVariable) row.setLabel(savGetValueChar(handle, variable(labelPosition)));
      if (hasCaseNumbers) row.setCaseNumber(caseNumberOf(savGetValueNumeric(handle, variable(caseNumberPosition))));
    }
    matrix.computeSumOfSquares();

    variableHandles.clear();
    char** givenNames = names;
    int* givenTypes = types;
    names = nullptr;
    types = nullptr;
    savFreeVarNames(count, givenNames, givenTypes);
    const int closing = handle;
    handle = -1;
    savCloseRead(closing);
    return true;
  } catch (const std::exception& error) {
    const std::string message =
        dynamic_cast<const std::bad_alloc*>(&error) ? std::string("Insufficient memory") : std::string(error.what());
    variableHandles.clear();
    if (names && types) {
      try {
        savFreeVarNames(count, names, types);
      } catch (const EKorvanaError&) {
      }
    }
    if (handle >= 0) {
      try {
        savCloseRead(handle);
      } catch (const EKorvanaError&) {
      }
    }
    host::showErrorBox(message);
    return false;
  }
}

int proximityMatrixObjectCount(const std::string& fileName) {
  int handle = -1;
  try {
    handle = savOpenRead(fileName);
    const int count = savGetNumberOfCases(handle);
    savCloseRead(handle);
    return count;
  } catch (const EKorvanaError&) {
    if (handle >= 0) {
      try {
        savCloseRead(handle);
      } catch (const EKorvanaError&) {
      }
    }
    return -1;
  }
}

}  // namespace korvana
