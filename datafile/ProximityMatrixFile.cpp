// Reading a proximity matrix from a data file written by the statistics
// package's proximities command (or any file with its layout).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
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

std::string withoutTrailingBlanks(const std::string& text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

/// A value and the object whose row or column it is in, mixed into 64 bits:
/// the sums of these over a row and over the matching column are equal when
/// the row and the column hold the same values, and differ otherwise but
/// with a chance of 2^-64.
std::uint64_t cellKey(int object, double value) {
  std::uint64_t bits = 0;
  const double normalized = value == 0.0 ? 0.0 : value;
  std::memcpy(&bits, &normalized, sizeof bits);
  std::uint64_t x = bits ^ (static_cast<std::uint64_t>(object) * 0x9E3779B97F4A7C15ull);
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

/// A case number as a 32-bit integer, truncated toward zero; values that have
/// no such integer (missing, not a number, out of range) become 0.
std::int32_t caseNumberOf(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
  return static_cast<std::int32_t>(value);
}

}  // namespace

bool loadProximityMatrix(const std::string& fileName, ProximityMatrix& matrix, const std::string& missingHint,
                         MatrixFileReport* report) {
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
    if (caseCount < 2)
      throw EKorvanaError("Proximity matrix '" + fileName + "' holds " +
                          (caseCount == 1 ? std::string("one object") : std::string("no objects")) +
                          "; clustering needs at least two");

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
    const double systemMissing = savSystemMissingValue();
    const auto isMissing = [systemMissing](double value) { return std::isnan(value) || value == systemMissing; };
    // Per object: the keys of its column above the diagonal, from the rows
    // read so far; compared with its row's once the row is read.
    bool upperGiven = report != nullptr;  // read only when asked for
    std::vector<std::uint64_t> columnKeys(upperGiven ? static_cast<std::size_t>(caseCount) : 0, 0);
    std::optional<int> asymmetric;
    matrix.reserve(caseCount);
    for (int i = 0; i < caseCount; ++i) {
      if (!savReadCaseRecord(handle))
        throw EKorvanaError("The proximity matrix file '" + fileName + "' ends after " + std::to_string(i) +
                            " of its " + std::to_string(caseCount) + " cases");
      const std::string rowType = savGetValueChar(handle, variable(rowTypePosition));
      const std::string name = savGetValueChar(handle, variable(variableNamePosition));
      const std::string kind = withoutTrailingBlanks(rowType);
      if (lowerCase(kind) != "prox")
        throw EKorvanaError("Proximity matrix '" + fileName + "' is not a proximity matrix: row " +
                            std::to_string(i + 1) + " has the row type (ROWTYPE_) '" + kind +
                            "', where every row must be PROX");
      ProximityMatrixRow& row = matrix.appendRow(name, rowType);
      // This row's proximities (below the diagonal) and, when asked for, the
      // column above it, as the record holds them or value by value.
      if (numericColumns) savWholeCaseIn(handle, record.data());
      const auto proximity = [&](int object) {
        if (!numericColumns) return savGetValueNumeric(handle, variable(variableNamePosition + 1 + object));
        double value;
        std::memcpy(&value, record.data() + firstColumn + static_cast<std::size_t>(object) * sizeof(double),
                    sizeof value);
        return value;
      };
      const int below = std::min(i, count - variableNamePosition - 1);
      if (numericColumns) {
        row.setValues(record.data() + firstColumn, below);
      } else {
        for (int l = 0; l < below; ++l) row.setValue(l, proximity(l));
      }
      std::uint64_t rowKey = 0;
      for (int l = 0; l < below; ++l) {
        const double value = row.getValue(l);
        if (isMissing(value))
          throw EKorvanaError("The proximity of objects " + std::to_string(l + 1) + " and " + std::to_string(i + 1) +
                              " in '" + fileName + "' is missing" + missingHint);
        if (upperGiven) rowKey += cellKey(l, value);
      }
      for (int c = i + 1; upperGiven && c < caseCount; ++c) {
        const double value = proximity(c);
        upperGiven = !isMissing(value);
        columnKeys[static_cast<std::size_t>(c)] += cellKey(i, value);
      }
      if (upperGiven && !asymmetric && rowKey != columnKeys[static_cast<std::size_t>(i)]) asymmetric = i;
      if (hasLabelVariable) row.setLabel(savGetValueChar(handle, variable(labelPosition)));
      if (hasCaseNumbers) row.setCaseNumber(caseNumberOf(savGetValueNumeric(handle, variable(caseNumberPosition))));
    }
    matrix.computeSumOfSquares();
    if (report != nullptr) report->asymmetricObject = upperGiven ? asymmetric : std::nullopt;

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

std::optional<bool> matrixFileIsSquaredEuclidean(const std::string& fileName) {
  int handle = -1;
  char** names = nullptr;
  int* types = nullptr;
  int count = 0;
  std::optional<bool> squared;
  try {
    handle = savOpenRead(fileName);
    count = savGetVarNames(handle, names, types);
    if (count > 0 && lowerCase(names[0]) == "rowtype_") {
      const std::string kind = lowerCase(savGetStringValueLabel(handle, names[0], "PROX"));
      squared = kind.empty() || kind.find(" seu") != std::string::npos;
    }
  } catch (const std::exception&) {
    squared.reset();
  }
  try {
    if (names) savFreeVarNames(count, names, types);
    if (handle >= 0) savCloseRead(handle);
  } catch (const std::exception&) {
  }
  return squared;
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
