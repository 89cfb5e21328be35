#include "platform/spss/ProximitiesMatrixFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/EKorvanaError.h"
#include "common/Utf8.h"
#include "platform/host/TemporaryFiles.h"
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

/// The bytes of the matrix's rows computed at a time.
constexpr std::size_t kBlockBytes = std::size_t{32} << 20;

/// A string value that fits its variable, in its record slot: blank-padded
/// to whole 8-byte units.
void putString(std::vector<char>& record, std::size_t& at, const std::string& value, int width) {
  const std::size_t slot = (static_cast<std::size_t>(width) + 7) / 8 * 8;
  const std::size_t kept = std::min(value.size(), slot);
  std::memcpy(record.data() + at, value.data(), kept);
  std::memset(record.data() + at + kept, ' ', slot - kept);
  at += slot;
}

void putNumber(std::vector<char>& record, std::size_t& at, double value) {
  std::memcpy(record.data() + at, &value, sizeof value);
  at += sizeof value;
}

void writeContent(int handle, const ProximitiesMatrixFileContent& content) {
  const ProximitiesMatrix& matrix = *content.matrix;
  const ProximitiesResult& result = matrix.description();
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
  if (withId) {
    // An ID value that does not fit is refused as the value call refuses it.
    const double id = savGetVarHandle(handle, content.idName);
    for (const std::string& value : content.idValues)
      if (value.find_last_not_of(' ') + 1 > static_cast<std::size_t>(content.idWidth))
        savSetValueChar(handle, id, value);
  }

  // Each row goes to the file as one case: the leading variables, then the
  // row's proximities (NaN is stored as system-missing).
  std::vector<char> record(static_cast<std::size_t>(savGetCaseSize(handle)));
  const std::size_t rowsAtOnce = matrix.rowsPerBlock(kBlockBytes);
  std::vector<double> rows;
  for (std::size_t first = 0; first < items; first += rowsAtOnce) {
    const std::size_t end = std::min(items, first + rowsAtOnce);
    rows.resize((end - first) * items);
    matrix.rows(first, end, rows.data());
    for (std::size_t i = first; i < end; ++i) {
      std::size_t at = 0;
      putString(record, at, "PROX", 8);
      if (withId) putString(record, at, content.idValues.at(i), content.idWidth);
      if (content.withCaseNumbers) putNumber(record, at, static_cast<double>(result.caseNumbers.at(i)));
      putString(record, at, result.names[i], static_cast<int>(nameWidth));
      if (at + items * sizeof(double) != record.size())
        throw EKorvanaError("the rows of the matrix do not match the file's variables");
      std::memcpy(record.data() + at, rows.data() + (i - first) * items, items * sizeof(double));
      savWholeCaseOut(handle, record.data());
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

bool ProximitiesMatrixFile::isScratchFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::weakly_canonical(std::filesystem::absolute(path).parent_path(), error);
  if (error) return false;
  const std::filesystem::path temporary = std::filesystem::weakly_canonical(host::temporaryFolder(), error);
  return !error && folder == temporary;
}

void ProximitiesMatrixFile::write(const std::string& path, const ProximitiesMatrixFileContent& content) {
  const int handle = savOpenWrite(path);
  try {
    if (isScratchFile(path)) savSetSync(handle, 0);
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
