// The cases of a data file decoded straight from its data area into case
// records (SavCaseRecord), a large block of the file at a time and without a
// parser: uncompressed data are copied, bytecode-compressed data expanded,
// numbers of a file in the other byte order turned round. Values come out as
// the parser gives them: numbers that are not a number become
// system-missing; a string loses its trailing blanks and NULs and the NULs
// inside it, and a case whose string is then not well-formed UTF-8 cannot be
// read.
//
// That covers the files whose case elements are the variables' values
// themselves and whose text needs no conversion; planFor() tells them apart,
// and every other file is left to the parser.
#pragma once

#include "platform/spssio/SavByteSource.h"
#include "platform/spssio/SavDictionaryLayout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvana::sav {

class SavCaseDecoder {
 public:
  struct Plan {
    std::uint64_t dataOffset = 0;
    std::uint64_t dataEnd = 0;
    bool bytecode = false;
    bool swapBytes = false;
    double bias = 100.0;
    // The 8-byte elements of a case.
    std::size_t elements = 0;
    // Neighbouring numeric elements: first element and count.
    std::vector<std::pair<std::size_t, std::size_t>> numbers;
    // The string variables' slots in a case record: offset and bytes.
    std::vector<std::pair<std::size_t, std::size_t>> strings;
  };

  // The plan for a file whose dictionary is `layout`, or nothing when its
  // cases need the parser: zlib-compressed data, strings longer than 255
  // bytes (stored in segments), text that is not declared as UTF-8, or a
  // system-missing value other than the usual one.
  static std::optional<Plan> planFor(const SavByteSource& source, const SavDictionaryLayout& layout,
                                     std::uint64_t visibleSize);

  SavCaseDecoder(int fd, Plan plan);

  std::size_t recordSize() const { return plan_.elements * 8; }
  // Decodes the next case into `record` (recordSize() bytes), each string
  // slot holding its value followed by blanks. False when the data end
  // before a whole case, cannot be read, or hold a string that is not UTF-8.
  bool next(char* record);

  // The value of a string variable of `width` bytes in its decoded slot: the
  // width's bytes, or the whole value where it is longer.
  static std::string_view stringValue(std::string_view slot, int width);

 private:
  // At least `bytes` bytes ahead in the buffer; false at the end of the data.
  bool ensure(std::size_t bytes);
  bool nextUnit(unsigned char* unit);

  int fd_;
  Plan plan_;
  std::vector<unsigned char> buffer_;
  std::size_t position_ = 0;
  std::uint64_t nextOffset_ = 0;
  unsigned char commands_[8] = {};
  int command_ = 8;  // the next command of the block; 8: a new block is due
  bool ended_ = false;
};

}  // namespace korvana::sav
