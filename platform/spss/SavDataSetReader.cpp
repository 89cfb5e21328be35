#include "platform/spss/SavDataSetReader.h"

#include <cmath>
#include <limits>
#include <vector>

#include "platform/spssio/SavUtilities.h"
#include "common/EKorvanaError.h"
#include "platform/spss/ReadStatDataSetReader.h"
#include "platform/spssio/SavDataFileLibrary.h"

namespace korvana::spss {

namespace {

// Closes the file however reading ends.
class OpenSavFile {
 public:
  explicit OpenSavFile(const std::string& path) : handle_(savOpenRead(path)) {}
  ~OpenSavFile() { sav_close_read(handle_); }
  OpenSavFile(const OpenSavFile&) = delete;
  OpenSavFile& operator=(const OpenSavFile&) = delete;
  int handle() const { return handle_; }

 private:
  int handle_;
};

struct LibraryVariable {
  std::string name;
  int type = 0;
};

std::vector<LibraryVariable> variablesOf(int handle) {
  char** names = nullptr;
  int* types = nullptr;
  const int count = savGetVarNames(handle, names, types);
  std::vector<LibraryVariable> variables;
  variables.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) variables.push_back({names[i], types[i]});
  savFreeVarNames(count, names, types);
  return variables;
}

std::string stringValue(int handle, double variableHandle, int width) {
  // A value converted to UTF-8 can be longer than the width it was stored in.
  std::vector<char> buffer(static_cast<std::size_t>(width) * 4 + 1, '\0');
  const int status = sav_get_value_char(handle, variableHandle, buffer.data(), static_cast<int>(buffer.size()));
  if (status != SAV_OK) throw EKorvanaError("Error reading file");
  std::string value(buffer.data());
  const std::size_t end = value.find_last_not_of(' ');
  value.erase(end == std::string::npos ? 0 : end + 1);
  return value;
}

DataSet readThroughLibrary(const std::string& path) {
  const OpenSavFile file(path);
  DataSet data;
  std::vector<double> handles;
  std::vector<int> widths;
  for (const LibraryVariable& variable : variablesOf(file.handle())) {
    DataVariable entry;
    entry.name = variable.name;
    entry.type = variable.type;
    data.addVariable(std::move(entry));
    handles.push_back(savGetVarHandle(file.handle(), variable.name));
    widths.push_back(variable.type);
  }
  const double systemMissing = savSystemMissingValue();
  const int declared = savGetNumberOfCases(file.handle());
  while (savReadCaseRecord(file.handle())) {
    const std::size_t caseIndex = data.addCase();
    for (std::size_t v = 0; v < handles.size(); ++v) {
      if (widths[v] == 0) {
        const double value = savGetValueNumeric(file.handle(), handles[v]);
        data.setNumeric(caseIndex, v, value == systemMissing ? std::numeric_limits<double>::quiet_NaN() : value);
      } else {
        data.setString(caseIndex, v, stringValue(file.handle(), handles[v], widths[v]));
      }
    }
  }
  // A file that stops at a case boundary reads like a shorter one; only the
  // count its header declares tells.
  if (declared >= 0 && data.caseCount() != static_cast<std::size_t>(declared))
    throw EKorvanaError("it ends after " + std::to_string(data.caseCount()) + " of the " + std::to_string(declared) +
                        " cases its header declares");
  return data;
}

}  // namespace

DataSet SavDataSetReader::read(const std::string& path) {
  DataSet data;
  try {
    data = readThroughLibrary(path);
  } catch (const EKorvanaError& error) {
    throw EKorvanaError("The data file " + path + " could not be read: " + error.what());
  }
  const DataSet dictionary =
      ReadStatDataSetReader::read(path, ReadStatDataSetReader::Format::sav,
                                  ReadStatDataSetReader::Content::dictionaryOnly);
  for (std::size_t i = 0; i < data.variableCount(); ++i) {
    DataVariable& variable = data.variable(i);
    const auto match = dictionary.findVariable(variable.name);
    if (match) {
      const DataVariable& described = dictionary.variable(*match);
      variable.label = described.label;
      variable.measurementLevel = described.measurementLevel;
      variable.valueLabelCount = described.valueLabelCount;
      variable.missingValues = described.missingValues;
    } else {
      variable.measurementLevel = variable.isNumeric() ? measurementScale : measurementNominal;
    }
  }
  if (const auto weight = data.findVariable(dictionary.weightVariable()))
    data.setWeightVariable(data.variable(*weight).name);
  return data;
}

}  // namespace korvana::spss
