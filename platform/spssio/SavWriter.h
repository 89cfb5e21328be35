// A data file open for writing.
//
// The dictionary is collected first (variables with their labels and
// formats, the file label, the compression); commitHeader() freezes it. Each
// case is then filled with value calls (or given whole as a SavCaseRecord)
// and added with commitCase(); a new case starts with every numeric value
// system-missing and every string blank.
//
// Cases go to the temporary file of SavOutputFile as they are committed, so
// a file of any size is written in constant memory. ReadStat writes the
// dictionary, which it does when the first case starts, and encodes the cases
// of a compressed file; an uncompressed case is its record as it stands. The
// header and the dictionary record of the number of cases are written with a
// provisional count that close() overwrites with the true one before it
// syncs the file and renames it over the target. The dictionary is corrected
// (SavDictionaryEditor) on its way to the file.
#pragma once

#include "platform/spssio/SavCaseRecord.h"
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
  // Whether close() syncs the file to disk (1, the default) or not (0).
  int setSync(int syncSwitch);
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
  // SAV_OK, or SAV_FILE_WRITE_ERROR when the file has as many cases as it can
  // hold or cannot be written.
  int commitCase();
  // The size of a case record (SavCaseRecord), for a committed dictionary.
  std::size_t caseRecordSize() const { return layout_ ? layout_->size() : 0; }
  // Sets every value of the case being filled from a record and commits it
  // as commitCase() does. A string that is longer than its variable (blanks
  // beyond the width do not count) gives SAV_VALUE_TOO_LONG, one that is not
  // UTF-8 SAV_INVALID_TEXT; nothing is then committed and the case being
  // filled is as it was.
  int commitWholeCase(const char* record);

  // Completes the file. The writer is finished whatever the result; on
  // failure nothing is left behind and the target is untouched.
  int close();
  ~SavWriter();
  SavWriter(const SavWriter&) = delete;
  SavWriter& operator=(const SavWriter&) = delete;

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

  struct Encoder;

  SavWriter();
  // Starts ReadStat on the variables with the given number of cases.
  int startEncoder(std::uint64_t caseCount);
  // Writes the corrected dictionary ReadStat has produced, noting where the
  // number of cases is recorded.
  int releaseDictionary();
  // The whole file of a dictionary without cases.
  int writeEmptyFile();
  // Writes the number of cases into the header and its dictionary record.
  bool recordCaseCount();
  // Blanks the case being filled if the last one was committed since.
  void startCase();

  std::unique_ptr<SavOutputFile> output_;
  std::vector<Variable> variables_;
  std::map<std::string, std::size_t> positionByUpperName_;
  std::string fileLabel_;
  bool compressed_ = false;
  bool committed_ = false;
  std::optional<SavCaseRecord> layout_;
  std::vector<char> current_;  // the record of the case being filled
  bool blankPending_ = false;
  std::uint64_t caseCount_ = 0;
  std::unique_ptr<Encoder> encoder_;
  // Where the number of cases lies in the file (0: nowhere).
  std::uint64_t headerCountOffset_ = 0;
  std::uint64_t recordCountOffset_ = 0;
};

}  // namespace korvana::sav
