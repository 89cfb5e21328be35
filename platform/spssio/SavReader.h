// A data file open for reading.
//
// Opening parses the whole file with ReadStat and keeps its dictionary and
// cases in memory (SavCaseStore); the file is closed again before open
// returns. Before parsing, the dictionary is walked (SavDictionaryLayout) and
// the data measured (SavDataExtent), so that the status tells what is wrong
// with a file that cannot be read, and so that a file cut short still gives
// the cases it holds:
//   - a file that ends after a whole case, before the count of cases in its
//     header, simply has fewer cases: readNextCase() gives them, then
//     SAV_END_OF_CASES;
//   - a file that ends inside a case (or whose data cannot be decoded beyond
//     some case) gives the complete cases before it, then SAV_FILE_READ_ERROR
//     from readNextCase() where the broken case would be, and from every later
//     call.
#pragma once

#include "platform/spssio/SavCaseStore.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvana::sav {

class SavReader {
 public:
  struct Variable {
    std::string name;
    int width = 0;  // 0: numeric; else the string width, from its A format
  };

  struct ValueLabel {
    std::string value;  // without trailing blanks
    std::string label;
  };

  // A status code of SavDataFileLibrary.h; on SAV_OK, reader holds the file.
  static int open(const char* path, std::unique_ptr<SavReader>& reader);

  const std::vector<Variable>& variables() const { return variables_; }
  std::optional<std::size_t> findVariable(std::string_view name) const;

  // The count of cases in the file header, or the cases read when the header
  // has none.
  std::int64_t reportedCaseCount() const;

  // SAV_OK, SAV_END_OF_CASES or SAV_FILE_READ_ERROR (see above).
  int readNextCase();
  bool hasCurrentCase() const { return state_ == CursorState::OnCase; }
  double numericValue(std::size_t variable) const;
  std::string_view stringValue(std::size_t variable) const;

  // The value labels of a string variable, or null when it has none.
  const std::vector<ValueLabel>* valueLabels(std::size_t variable) const;

  const std::string& fileLabel() const { return fileLabel_; }

  // Used by the parse callbacks.
  struct ParseState;

 private:
  enum class CursorState { BeforeFirst, OnCase, AtEnd, Broken };

  SavReader() = default;

  std::vector<Variable> variables_;
  std::vector<int> labelSetOfVariable_;  // index into labelSets_, or -1
  std::vector<std::vector<ValueLabel>> labelSets_;
  std::string fileLabel_;
  std::int64_t headerCaseCount_ = -1;
  std::unique_ptr<SavCaseStore> cases_;
  std::uint64_t caseCount_ = 0;
  bool brokenAfterCases_ = false;
  CursorState state_ = CursorState::BeforeFirst;
  std::uint64_t current_ = 0;
};

}  // namespace korvana::sav
