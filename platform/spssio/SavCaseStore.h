// The cases of one file in memory, compactly: per case one double per numeric
// variable and the string variables' bytes, blank-padded to their widths,
// nothing else. Cases are kept in blocks of about a megabyte, so growing the
// store never copies what it holds and never reserves much more than it uses.
//
// A string longer than its variable's width (which only a file whose text
// grew when it was converted to UTF-8 can bring) is kept whole on the side.
//
// Threads: one thread may fill cases while another reads others (the data-file
// reader's window). The rows are not locked: a case belongs to one thread at a
// time, handed over under the user's own lock, and a view string() returns
// stays valid until its case is set or cleared again. The long values of all
// cases share one map, so every access to it, even asking whether it is
// empty, holds longValuesMutex_.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvana::sav {

class SavCaseStore {
 public:
  // One width per variable: 0 for numeric, the width in bytes for strings.
  explicit SavCaseStore(std::vector<int> widths);

  std::uint64_t caseCount() const { return caseCount_; }

  // Adds a case with every numeric value system-missing and every string
  // blank. Throws std::bad_alloc when memory runs out (the store is unchanged).
  void appendBlankCase();

  // Adds a copy of case `index` of `other`, a store with the same widths.
  void appendCopy(const SavCaseStore& other, std::uint64_t index);

  // Makes case `index` blank again (numeric system-missing, strings blank).
  void clearCase(std::uint64_t index);

  void setNumeric(std::uint64_t index, std::size_t variable, double value);
  // value is padded with blanks to the width; a longer value is kept whole.
  void setString(std::uint64_t index, std::size_t variable, std::string_view value);

  double numeric(std::uint64_t index, std::size_t variable) const;
  // The value padded to its variable's width (or whole, when longer).
  std::string_view string(std::uint64_t index, std::size_t variable) const;

 private:
  struct Block {
    std::unique_ptr<double[]> numerics;
    std::unique_ptr<char[]> strings;
  };

  double* numericRow(std::uint64_t index) const;
  char* stringRow(std::uint64_t index) const;

  std::vector<int> widths_;
  std::vector<std::size_t> slots_;  // per variable: index in the numeric row or byte offset
  std::size_t numericsPerCase_ = 0;
  std::size_t stringBytesPerCase_ = 0;
  std::uint64_t casesPerBlock_ = 1;
  std::vector<Block> blocks_;
  std::uint64_t caseCount_ = 0;
  mutable std::mutex longValuesMutex_;
  std::map<std::pair<std::uint64_t, std::size_t>, std::string> longValues_;  // longValuesMutex_
};

}  // namespace korvana::sav
