// A data file open for reading.
//
// Before parsing, the dictionary is walked (SavDictionaryLayout) and the data
// measured (SavDataExtent), so that the status tells what is wrong with a file
// that cannot be read, and so that a file cut short still gives the cases it
// holds. ReadStat then parses the file on a thread of its own: open returns
// once the dictionary is known, and the cases stream through a window of a few
// megabytes (SavCaseStore used as a ring), the parser waiting while the window
// is full, so that reading a large file never holds all its cases at once.
// A file whose header does not record its number of cases is parsed whole
// before open returns (its count is only known at the end), and its cases are
// kept in memory.
//
// Most files take a shorter way (SavCaseDecoder::planFor): ReadStat reads the
// dictionary alone, and the cases are decoded straight from the data area a
// few megabytes at a time, at the speed of the disk instead of one callback
// per value; what the calls give is the same either way.
//
// The cases, in both modes:
//   - a file that ends after a whole case, before the count of cases in its
//     header, simply has fewer cases: readNextCase() gives them, then
//     SAV_END_OF_CASES;
//   - a file that ends inside a case (or whose data cannot be decoded beyond
//     some case) gives the complete cases before it, then SAV_FILE_READ_ERROR
//     from readNextCase() where the broken case would be, and from every later
//     call.
#pragma once

#include "platform/spssio/SavCaseDecoder.h"
#include "platform/spssio/SavCaseRecord.h"
#include "platform/spssio/SavCaseStore.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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
  // With decodeDirectly false, every case goes through ReadStat.
  static int open(const char* path, std::unique_ptr<SavReader>& reader, bool decodeDirectly = true);

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
  // The current case as a record (SavCaseRecord); strings cut at their
  // variable's width.
  std::size_t caseRecordSize() const { return record_->size(); }
  void wholeCase(char* record) const;
  // Whether the cases are decoded straight from the file.
  bool decodesDirectly() const { return decoder_.has_value(); }

  // The value labels of a string variable, or null when it has none.
  const std::vector<ValueLabel>* valueLabels(std::size_t variable) const;

  const std::string& fileLabel() const { return fileLabel_; }

  // Stops the parser (if it is still running) and closes the file.
  ~SavReader();
  SavReader(const SavReader&) = delete;
  SavReader& operator=(const SavReader&) = delete;

  // Used by the parse callbacks.
  struct ParseState;
  struct ParserInput;

 private:
  enum class CursorState { BeforeFirst, OnCase, AtEnd, Broken };

  SavReader() = default;

  // The parser thread's work: the whole parse, then the verdict on the cases.
  void parse();
  // In the parser thread, before case `index` is stored: waits for room in
  // the window and blanks its slot. False when the reader is being closed.
  bool admitCase(std::uint64_t index);
  // In the parser thread, once case `index` has all its values.
  void publishCase(std::uint64_t index);
  // The slot of case `index` in the store.
  std::uint64_t slotOf(std::uint64_t index) const { return window_ == 0 ? index : index % window_; }
  // The first case the reader may still look at.
  std::uint64_t firstNeededCase() const { return state_ == CursorState::BeforeFirst ? 0 : current_; }

  std::vector<Variable> variables_;
  std::unordered_map<std::string, std::size_t> positionByUpperName_;  // the first of equal names
  std::vector<int> labelSetOfVariable_;  // index into labelSets_, or -1
  std::vector<std::vector<ValueLabel>> labelSets_;
  std::string fileLabel_;
  std::int64_t headerCaseCount_ = -1;
  std::unique_ptr<SavCaseStore> cases_;
  std::optional<SavCaseRecord> record_;  // the layout of a case record
  // Decoding straight from the file: the decoder and the current case.
  std::optional<SavCaseDecoder> decoder_;
  std::vector<char> decoded_;
  std::uint64_t window_ = 0;  // cases in the ring; 0: every case is kept
  std::uint64_t caseCount_ = 0;  // complete cases delivered by the parser so far
  bool brokenAfterCases_ = false;
  CursorState state_ = CursorState::BeforeFirst;
  std::uint64_t current_ = 0;

  // The parser and what it shares with the reader (guarded by mutex_ where
  // noted; the values in cases_ need no lock of ours: the parser never writes
  // the slot of a case the reader may still look at, and the store locks its
  // long values itself).
  int fd_ = -1;
  std::string path_;
  std::unique_ptr<ParserInput> input_;
  std::unique_ptr<ParseState> parseState_;
  std::int64_t caseLimit_ = -1;
  bool brokenAfterLimit_ = false;
  std::thread parser_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool dictionaryReady_ = false;  // mutex_
  bool parseFinished_ = false;    // mutex_
  bool stopping_ = false;         // mutex_
};

}  // namespace korvana::sav
