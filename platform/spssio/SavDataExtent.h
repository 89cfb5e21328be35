// How many complete cases the data area of a file holds, found before the
// file is parsed so that a file cut short is told apart from a damaged one.
//
// Uncompressed data are 8 bytes per case element, so the count follows from
// the file's length. Bytecode-compressed data are read once from start to
// end: blocks of 8 command bytes, each command giving one element (1..251 a
// small integer, 254 eight blanks, 255 system-missing, 253 an element stored
// in the 8 bytes after the block), 0 being padding and 252 the end of the
// data. Zlib-compressed data are not measured here.
//
// A case is complete when all its elements are there. The data are cut
// inside a case when, after the complete cases, anything of a further case is
// there: some of its elements, a command without its 8 bytes, or bytes that
// do not make a whole element or command block.
#pragma once

#include "platform/spssio/SavByteSource.h"
#include "platform/spssio/SavDictionaryLayout.h"

#include <cstdint>

namespace korvana::sav {

class SavDataExtent {
 public:
  // The commands of bytecode-compressed data.
  static constexpr unsigned char kCommandPadding = 0;
  static constexpr unsigned char kCommandEnd = 252;
  static constexpr unsigned char kCommandRaw = 253;
  static constexpr unsigned char kCommandBlanks = 254;
  static constexpr unsigned char kCommandMissing = 255;

  // caseLimit: stop counting once that many complete cases are found (the
  // count the header records), or -1 to count all.
  static SavDataExtent measure(const SavByteSource& source, const SavDictionaryLayout& layout,
                               std::int64_t caseLimit);

  bool measured = false;            // false for zlib-compressed data
  std::uint64_t completeCases = 0;
  bool cutInsideCase = false;
  // The bytes of the file a parser is to see: for bytecode, the data are
  // shown up to a whole number of 8-byte units (the unit a parser reads).
  std::uint64_t visibleSize = 0;
};

}  // namespace korvana::sav
