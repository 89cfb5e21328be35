// A data file open for writing.
//
// The dictionary is collected first (variables with their labels and
// formats, the file label, the compression); commitHeader() freezes it. Each
// case is then filled with value calls and added with commitCase(); a new case
// starts with every numeric value system-missing and every string blank.
// Cases are kept in memory (SavCaseStore) because ReadStat needs the number of
// cases before the first one: close() writes the whole file through ReadStat
// into the temporary file of SavOutputFile, corrects the dictionary
// (SavDictionaryEditor) and renames the file over the target.
#pragma once

#include "platform/spssio/SavCaseStore.h"
#include "platform/spssio/SavFormat.h"
#include "platform/spssio/SavOutputFile.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvana::sav {

class SavWriter {
 public:
  // The most cases one file can hold (its header counts them in 32 bits).
  static constexpr std::uint64_t kMaxCases = 2147483647;

  // SAV_OK, SAV_FILE_OPEN_ERROR or SAV_NO_MEMORY.
  static int create(const char* path, std::unique_ptr<SavWriter>& writer);

  // Dictionary calls: SAV_DICTIONARY_COMMITTED once the header is committed.
  int setFileLabel(const char* label);
  int setCompression(int compressionSwitch);
  int addVariable(const char* name, int lengthCode);
  int setVariableLabel(const char* name, const char* label);
  int setStringValueLabel(const char* name, const char* value, const char* label);
  int setFormat(const char* name, int type, int decimals, int width, bool print);
  int commitHeader();

  bool committed() const { return committed_; }
  std::optional<std::size_t> findVariable(std::string_view name) const;
  std::size_t variableCount() const { return variables_.size(); }
  int variableWidth(std::size_t variable) const { return variables_[variable].width; }

  // Value calls, for a committed dictionary and a valid variable position.
  int setNumeric(std::size_t variable, double value);
  int setString(std::size_t variable, const char* value);
  int commitCase();

  // Writes the file. The writer is finished whatever the result; on failure
  // nothing is left behind and the target is untouched.
  int close();

 private:
  struct Variable {
    std::string name;
    int width = 0;
    std::string label;
    SavFormat print;
    SavFormat write;
    // Labels of string values (trailing blanks removed), in the order the
    // values were first labelled.
    std::vector<std::pair<std::string, std::string>> valueLabels;
  };

  SavWriter() = default;
  int writeFile();

  std::unique_ptr<SavOutputFile> output_;
  std::vector<Variable> variables_;
  std::map<std::string, std::size_t> positionByUpperName_;
  std::string fileLabel_;
  bool compressed_ = false;
  bool committed_ = false;
  std::unique_ptr<SavCaseStore> cases_;
  std::unique_ptr<SavCaseStore> current_;  // holds the case being filled
};

}  // namespace korvana::sav
