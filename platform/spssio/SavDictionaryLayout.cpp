#include "platform/spssio/SavDictionaryLayout.h"

#include <cstdlib>
#include <cstring>

namespace korvana::sav {

namespace {

constexpr std::int32_t kRecordVariable = 2;
constexpr std::int32_t kRecordValueLabels = 3;
constexpr std::int32_t kRecordValueLabelVariables = 4;
constexpr std::int32_t kRecordDocument = 6;
constexpr std::int32_t kRecordExtension = 7;
constexpr std::int32_t kRecordTermination = 999;

// The longest variable label accepted (the format itself writes at most 256
// bytes; other writers are given room).
constexpr std::int32_t kMaxVariableLabelLength = 65535;

std::uint64_t roundUp(std::uint64_t value, std::uint64_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

// Reads the file's 32-bit integers in its own byte order.
class IntegerReader {
 public:
  IntegerReader(const SavByteSource& source, bool swap) : source_(source), swap_(swap) {}

  bool read(std::uint64_t offset, std::int32_t& value) const {
    std::uint32_t raw = 0;
    if (!source_.read(offset, &raw, sizeof raw)) return false;
    if (swap_) raw = SavDictionaryLayout::swapped(raw);
    value = static_cast<std::int32_t>(raw);
    return true;
  }

 private:
  const SavByteSource& source_;
  bool swap_;
};

}  // namespace

SavDictionaryLayout SavDictionaryLayout::walk(const SavByteSource& source) {
  SavDictionaryLayout layout;
  char magic[4] = {};
  if (!source.read(0, magic, sizeof magic) ||
      (std::memcmp(magic, "$FL2", 4) != 0 && std::memcmp(magic, "$FL3", 4) != 0)) {
    layout.status = source.failed() ? Status::ReadFailed : Status::NotDataFile;
    return layout;
  }
  if (source.size() < kHeaderSize) {
    layout.status = Status::HeaderCut;
    return layout;
  }
  layout.zlibFile = magic[3] == '3';

  // The layout code (2 or 3) tells the byte order.
  std::uint32_t layoutCode = 0;
  if (!source.read(64, &layoutCode, sizeof layoutCode)) {
    layout.status = Status::ReadFailed;
    return layout;
  }
  if (layoutCode == 2 || layoutCode == 3) {
    layout.swapBytes = false;
  } else if (SavDictionaryLayout::swapped(layoutCode) == 2 || SavDictionaryLayout::swapped(layoutCode) == 3) {
    layout.swapBytes = true;
  } else {
    layout.status = Status::NotDataFile;
    return layout;
  }

  const IntegerReader integers(source, layout.swapBytes);
  const std::uint64_t size = source.size();
  if (!integers.read(72, layout.compression) || !integers.read(80, layout.headerCaseCount)) {
    layout.status = Status::ReadFailed;
    return layout;
  }

  std::uint64_t pos = kHeaderSize;
  bool terminated = false;
  while (!terminated) {
    std::int32_t recordType = 0;
    if (!integers.read(pos, recordType)) break;

    if (recordType == kRecordVariable) {
      std::int32_t fields[5] = {};  // type, has label, missing values, print, write
      bool ok = true;
      for (int i = 0; i < 5 && ok; ++i) ok = integers.read(pos + 4 + 4 * static_cast<unsigned>(i), fields[i]);
      if (!ok || pos + 32 > size) break;
      const std::int32_t type = fields[0];
      const std::int32_t hasLabel = fields[1];
      const std::int32_t missingValues = fields[2];
      if (type < -1 || type > 255) break;
      if (type == -1 && layout.variableRecords.empty()) break;
      if (hasLabel != 0 && hasLabel != 1) break;
      if (missingValues < -3 || missingValues > 3 || missingValues == -1) break;
      std::uint64_t next = pos + 32;
      if (hasLabel == 1) {
        std::int32_t labelLength = 0;
        if (!integers.read(next, labelLength)) break;
        if (labelLength < 0 || labelLength > kMaxVariableLabelLength) break;
        next += 4 + roundUp(static_cast<std::uint64_t>(labelLength), 4);
      }
      next += 8 * static_cast<std::uint64_t>(std::abs(missingValues));
      if (next > size) break;
      layout.variableRecords.push_back({pos, type});
      ++layout.elementsPerCase;
      if (type >= 0) ++layout.variableCount;
      pos = next;
    } else if (recordType == kRecordValueLabels) {
      std::int32_t labelCount = 0;
      if (!integers.read(pos + 4, labelCount)) break;
      // Each label takes at least 16 bytes: that bounds the count by the file.
      if (labelCount < 0 || static_cast<std::uint64_t>(labelCount) > (size - pos) / 16) break;
      std::uint64_t next = pos + 8;
      bool ok = true;
      for (std::int32_t i = 0; i < labelCount && ok; ++i) {
        unsigned char labelLength = 0;
        ok = source.read(next + 8, &labelLength, 1);
        next += 8 + roundUp(1u + static_cast<std::uint64_t>(labelLength), 8);
        ok = ok && next <= size;
      }
      if (!ok) break;
      std::int32_t followingType = 0;
      std::int32_t variableCount = 0;
      if (!integers.read(next, followingType) || followingType != kRecordValueLabelVariables ||
          !integers.read(next + 4, variableCount)) {
        break;
      }
      if (variableCount < 0 || static_cast<std::uint64_t>(variableCount) > (size - next) / 4) break;
      next += 8 + 4 * static_cast<std::uint64_t>(variableCount);
      if (next > size) break;
      pos = next;
    } else if (recordType == kRecordDocument) {
      std::int32_t lines = 0;
      if (!integers.read(pos + 4, lines)) break;
      if (lines < 0 || static_cast<std::uint64_t>(lines) > size / 80) break;
      const std::uint64_t next = pos + 8 + 80 * static_cast<std::uint64_t>(lines);
      if (next > size) break;
      pos = next;
    } else if (recordType == kRecordExtension) {
      std::int32_t subtype = 0;
      std::int32_t elementSize = 0;
      std::int32_t count = 0;
      if (!integers.read(pos + 4, subtype) || !integers.read(pos + 8, elementSize) ||
          !integers.read(pos + 12, count)) {
        break;
      }
      if (elementSize < 0 || count < 0) break;
      const std::uint64_t bodyLength =
          static_cast<std::uint64_t>(elementSize) * static_cast<std::uint64_t>(count);
      if (bodyLength > size) break;
      const std::uint64_t next = pos + 16 + bodyLength;
      if (next > size) break;
      layout.extensionRecords.push_back({pos, 16 + bodyLength, subtype});
      pos = next;
    } else if (recordType == kRecordTermination) {
      if (pos + 8 > size) break;
      layout.terminationOffset = pos;
      layout.dataOffset = pos + 8;
      terminated = true;
    } else {
      break;
    }
  }

  if (source.failed()) {
    layout.status = Status::ReadFailed;
  } else if (layout.variableCount == 0) {
    layout.status = Status::NoVariableRecords;
  } else if (!terminated) {
    layout.status = Status::NoTermination;
  } else {
    layout.status = Status::Complete;
  }
  return layout;
}

}  // namespace korvana::sav
