#include "platform/spss/ProximitiesMatrixFile.h"

#include <algorithm>
#include <vector>

#include "common/EKorvanaError.h"
#include "common/Utf8.h"
#include "platform/spssio/SavDataFileLibrary.h"
#include "platform/spssio/SavUtilities.h"

namespace korvana::spss {

namespace {

constexpr const char* kRowType = "ROWTYPE_";
constexpr const char* kCaseNumber = "CASENO_";
constexpr const char* kVariableName = "VARNAME_";

void addString(int handle, const std::string& name, int width) {
  savSetVarName(handle, name, width);
  savSetVarPrintFormat(handle, name, SAV_FORMAT_A, 0, width);
  savSetVarWriteFormat(handle, name, SAV_FORMAT_A, 0, width);
}

void addNumber(int handle, const std::string& name, int decimals, int width) {
  savSetVarName(handle, name, 0);
  savSetVarPrintFormat(handle, name, SAV_FORMAT_F, decimals, width);
  savSetVarWriteFormat(handle, name, SAV_FORMAT_F, decimals, width);
}

void writeContent(int handle, const ProximitiesMatrixFileContent& content) {
  const ProximitiesResult& result = *content.result;
  const std::size_t items = result.itemCount();
  const bool withId = !content.idName.empty();

  addString(handle, kRowType, 8);
  savSetVarValueLabelChar(handle, kRowType, "PROX", result.proxLabel);
  if (withId) addString(handle, content.idName, content.idWidth);
  if (content.withCaseNumbers) addNumber(handle, kCaseNumber, 0, 8);
  std::size_t nameWidth = 8;
  for (const std::string& name : result.names) nameWidth = std::max(nameWidth, name.size());
  addString(handle, kVariableName, static_cast<int>(nameWidth));
  for (std::size_t i = 0; i < items; ++i) {
    addNumber(handle, result.names[i], 3, 10);
    if (i < content.variableLabels.size() && !content.variableLabels[i].empty())
      savSetVarLabel(handle, result.names[i], content.variableLabels[i]);
  }
  savCommitHeader(handle);

  const double rowType = savGetVarHandle(handle, kRowType);
  const double id = withId ? savGetVarHandle(handle, content.idName) : 0.0;
  const double caseNumber = content.withCaseNumbers ? savGetVarHandle(handle, kCaseNumber) : 0.0;
  const double variableName = savGetVarHandle(handle, kVariableName);
  std::vector<double> columns;
  columns.reserve(items);
  for (const std::string& name : result.names) columns.push_back(savGetVarHandle(handle, name));

  // Row i's cells right of the diagonal are column i of the lower rows below
  // it. They are gathered for a block of rows at a time, reading each lower
  // row's stretch for the block in one go instead of one cell per row.
  constexpr std::size_t kBlock = 64;
  std::vector<double> upper;
  for (std::size_t first = 0; first < items; first += kBlock) {
    const std::size_t rows = std::min(kBlock, items - first);
    upper.assign(rows * items, 0.0);
    for (std::size_t j = first + 1; j < items; ++j) {
      const double* lowerRow = result.lower.row(static_cast<int>(j));
      for (std::size_t r = 0; r < rows && first + r < j; ++r) upper[r * items + j] = lowerRow[first + r];
    }
    for (std::size_t r = 0; r < rows; ++r) {
      const std::size_t i = first + r;
      savSetValueChar(handle, rowType, "PROX");
      if (withId) savSetValueChar(handle, id, content.idValues.at(i));
      if (content.withCaseNumbers)
        savSetValueNumeric(handle, caseNumber, static_cast<double>(result.caseNumbers.at(i)));
      savSetValueChar(handle, variableName, result.names[i]);
      // NaN is stored as system-missing.
      const double* lowerRow = i > 0 ? result.lower.row(static_cast<int>(i)) : nullptr;
      for (std::size_t j = 0; j < i; ++j) savSetValueNumeric(handle, columns[j], lowerRow[j]);
      savSetValueNumeric(handle, columns[i], result.diagonal[i]);
      for (std::size_t j = i + 1; j < items; ++j) savSetValueNumeric(handle, columns[j], upper[r * items + j]);
      savCommitCaseRecord(handle);
    }
  }
}

}  // namespace

std::string ProximitiesMatrixFile::idValue(const std::string& text) {
  // Only well-formed text goes into the file, cut between characters, so
  // that every label written can be read back.
  const std::string wellFormed = utf8::toWellFormed(text);
  std::size_t characters = 0;
  for (std::size_t at = 0; at < wellFormed.size();) {
    if (characters++ == idCharacters) return wellFormed.substr(0, at);
    at += utf8::decode(wellFormed, at).length;
  }
  return wellFormed;
}

static_assert(ProximitiesMatrixFile::maxIdWidth == SAV_MAX_SHORT_STRING);

void ProximitiesMatrixFile::write(const std::string& path, const ProximitiesMatrixFileContent& content) {
  const int handle = savOpenWrite(path);
  try {
    writeContent(handle, content);
  } catch (...) {
    try {
      savDiscardWrite(handle);
    } catch (...) {
      // The first error is the one reported.
    }
    throw;
  }
  savCloseWrite(handle);
}

}  // namespace korvana::spss
