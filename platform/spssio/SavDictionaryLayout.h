// Where the records of a data file's dictionary lie, found by walking them
// from the file header to the dictionary termination record.
//
// A data file starts with a 176-byte header ("$FL2", or "$FL3" when the data
// are zlib-compressed), followed by the dictionary: records of type 2
// (variables, one per 8 bytes of a case: a string wider than 8 bytes has
// continuation records of type -1), 3 and 4 (value labels and the variables
// they apply to), 6 (documents) and 7 (extensions, by subtype), ended by a
// record of type 999. The data start right after it.
//
// The walk checks that every record lies inside the file and that its counts
// are plausible, so nothing sized from the file is trusted beyond its length.
// It stops at the termination record, at the end of the bytes, or at anything
// that is not a well-formed record.
#pragma once

#include "platform/spssio/SavByteSource.h"

#include <cstdint>
#include <vector>

namespace korvana::sav {

class SavDictionaryLayout {
 public:
  enum class Status {
    Complete,           // walked up to and including the termination record
    NotDataFile,        // no "$FL2"/"$FL3" header with a known layout code
    HeaderCut,          // the magic is there, but the 176-byte header is not
    NoVariableRecords,  // the walk stopped before any variable record
    NoTermination,      // variable records, but the walk stopped before type 999
    ReadFailed          // the file could not be read
  };

  struct VariableRecord {
    std::uint64_t offset = 0;  // of the record's type field
    std::int32_t type = 0;     // 0 numeric, 1..255 string width, -1 continuation
  };

  struct ExtensionRecord {
    std::uint64_t offset = 0;  // of the record's type field
    std::uint64_t length = 0;  // of the whole record
    std::int32_t subtype = 0;
  };

  static constexpr std::uint64_t kHeaderSize = 176;
  static constexpr std::int32_t kCompressionNone = 0;
  static constexpr std::int32_t kCompressionBytecode = 1;
  static constexpr std::int32_t kCompressionZlib = 2;

  static SavDictionaryLayout walk(const SavByteSource& source);

  // A 32-bit integer with its bytes in the other order.
  static std::uint32_t swapped(std::uint32_t value) { return __builtin_bswap32(value); }

  Status status = Status::NotDataFile;
  bool swapBytes = false;            // the file's byte order is not this machine's
  bool zlibFile = false;             // "$FL3"
  std::int32_t compression = 0;      // from the header
  std::int32_t headerCaseCount = -1; // from the header; -1: not recorded
  std::uint64_t elementsPerCase = 0; // variable records, continuations included
  std::uint64_t variableCount = 0;   // variable records that start a variable
  std::uint64_t terminationOffset = 0;
  std::uint64_t dataOffset = 0;
  std::vector<VariableRecord> variableRecords;
  std::vector<ExtensionRecord> extensionRecords;
};

}  // namespace korvana::sav
