#include "platform/spssio/SavCaseDecoder.h"

#include "platform/spssio/SavDataExtent.h"
#include "platform/spssio/SavText.h"
#include "common/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace korvana::sav {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{4} << 20;
constexpr double kSystemMissing = -DBL_MAX;
constexpr std::int32_t kSubtypeIntegerInfo = 3;
constexpr std::int32_t kSubtypeFloatingPointInfo = 4;
constexpr std::int32_t kSubtypeVeryLongStrings = 14;
constexpr std::int32_t kSubtypeEncoding = 20;
constexpr std::int32_t kCodePageUtf8 = 65001;
constexpr std::uint64_t kRecordHeaderBytes = 16;
constexpr std::uint64_t kBiasOffset = 84;

std::uint64_t swapped64(std::uint64_t value) { return __builtin_bswap64(value); }

}  // namespace

std::optional<SavCaseDecoder::Plan> SavCaseDecoder::planFor(const SavByteSource& source,
                                                            const SavDictionaryLayout& layout,
                                                            std::uint64_t visibleSize) {
  if (layout.zlibFile || (layout.compression != SavDictionaryLayout::kCompressionNone &&
                          layout.compression != SavDictionaryLayout::kCompressionBytecode))
    return std::nullopt;
  bool utf8 = false;
  bool encodingRecord = false;
  for (const SavDictionaryLayout::ExtensionRecord& record : layout.extensionRecords) {
    const std::uint64_t data = record.offset + kRecordHeaderBytes;
    if (record.length < kRecordHeaderBytes) return std::nullopt;
    const std::uint64_t length = record.length - kRecordHeaderBytes;
    if (record.subtype == kSubtypeVeryLongStrings) return std::nullopt;
    if (record.subtype == kSubtypeEncoding) {
      std::string name(static_cast<std::size_t>(std::min<std::uint64_t>(length, 64)), '\0');
      if (!source.read(data, name.data(), name.size())) return std::nullopt;
      encodingRecord = true;
      utf8 = SavText::equalsIgnoreCase(SavText::trimTrailingBlanks(name), "UTF-8");
    } else if (record.subtype == kSubtypeIntegerInfo && !encodingRecord && length >= 32) {
      std::uint32_t code = 0;
      if (!source.read(data + 28, &code, sizeof code)) return std::nullopt;
      if (layout.swapBytes) code = SavDictionaryLayout::swapped(code);
      utf8 = static_cast<std::int32_t>(code) == kCodePageUtf8;
    } else if (record.subtype == kSubtypeFloatingPointInfo && length >= 8) {
      std::uint64_t missing = 0;
      if (!source.read(data, &missing, sizeof missing)) return std::nullopt;
      if (layout.swapBytes) missing = swapped64(missing);
      std::uint64_t usual = 0;
      std::memcpy(&usual, &kSystemMissing, sizeof usual);
      if (missing != usual) return std::nullopt;
    }
  }
  if (!utf8) return std::nullopt;

  Plan plan;
  plan.dataOffset = layout.dataOffset;
  plan.dataEnd = visibleSize;
  plan.bytecode = layout.compression == SavDictionaryLayout::kCompressionBytecode;
  plan.swapBytes = layout.swapBytes;
  std::uint64_t bias = 0;
  if (!source.read(kBiasOffset, &bias, sizeof bias)) return std::nullopt;
  if (layout.swapBytes) bias = swapped64(bias);
  std::memcpy(&plan.bias, &bias, sizeof bias);
  for (const SavDictionaryLayout::VariableRecord& record : layout.variableRecords) {
    const std::size_t element = plan.elements++;
    if (record.type > 0) plan.strings.emplace_back(element * 8, 0);
    if (record.type != 0) {
      plan.strings.back().second += 8;
    } else if (!plan.numbers.empty() && plan.numbers.back().first + plan.numbers.back().second == element) {
      ++plan.numbers.back().second;
    } else {
      plan.numbers.emplace_back(element, 1);
    }
  }
  if (plan.elements == 0) return std::nullopt;
  return plan;
}

SavCaseDecoder::SavCaseDecoder(int fd, Plan plan) : fd_(fd), plan_(std::move(plan)) {
  nextOffset_ = plan_.dataOffset;
}

bool SavCaseDecoder::ensure(std::size_t bytes) {
  if (buffer_.size() - position_ >= bytes) return true;
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(position_));
  position_ = 0;
  const std::size_t kept = buffer_.size();
  const std::uint64_t left = plan_.dataEnd > nextOffset_ ? plan_.dataEnd - nextOffset_ : 0;
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(std::max(kChunkBytes, bytes), left));
  buffer_.resize(kept + wanted);
  std::size_t done = 0;
  while (done < wanted) {
    const ssize_t got = ::pread(fd_, buffer_.data() + kept + done, wanted - done, static_cast<off_t>(nextOffset_ + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  buffer_.resize(kept + done);
  nextOffset_ += done;
  return buffer_.size() >= bytes;
}

bool SavCaseDecoder::nextUnit(unsigned char* unit) {
  if (!ensure(8)) return false;
  std::memcpy(unit, buffer_.data() + position_, 8);
  position_ += 8;
  return true;
}

bool SavCaseDecoder::next(char* record) {
  const std::size_t elements = plan_.elements;
  if (!plan_.bytecode) {
    if (!ensure(elements * 8)) return false;
    std::memcpy(record, buffer_.data() + position_, elements * 8);
    position_ += elements * 8;
  } else {
    if (ended_) return false;
    for (std::size_t e = 0; e < elements;) {
      if (command_ == 8) {
        if (!nextUnit(commands_)) return false;
        command_ = 0;
      }
      const unsigned char command = commands_[command_++];
      char* element = record + e * 8;
      // Elements are assembled in the file's byte order and turned round below.
      const auto putNumber = [&](double value) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, 8);
        if (plan_.swapBytes) bits = swapped64(bits);
        std::memcpy(element, &bits, 8);
      };
      switch (command) {
        case SavDataExtent::kCommandPadding: continue;
        case SavDataExtent::kCommandEnd: ended_ = true; return false;
        case SavDataExtent::kCommandRaw:
          if (!nextUnit(reinterpret_cast<unsigned char*>(element))) return false;
          break;
        case SavDataExtent::kCommandBlanks: std::memset(element, ' ', 8); break;
        case SavDataExtent::kCommandMissing: putNumber(kSystemMissing); break;
        default: putNumber(command - plan_.bias); break;
      }
      ++e;
    }
  }
  for (const auto& [firstElement, count] : plan_.numbers) {
    char* numbers = record + firstElement * 8;
    for (std::size_t k = 0; k < count; ++k) {
      std::uint64_t bits = 0;
      std::memcpy(&bits, numbers + k * 8, 8);
      if (plan_.swapBytes) bits = swapped64(bits);
      double value = 0;
      std::memcpy(&value, &bits, 8);
      value = std::isnan(value) ? kSystemMissing : value;
      std::memcpy(numbers + k * 8, &value, 8);
    }
  }
  for (const auto& [offset, bytes] : plan_.strings) {
    char* slot = record + offset;
    std::size_t end = bytes;
    while (end > 0 && (slot[end - 1] == ' ' || slot[end - 1] == '\0')) --end;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < end; ++i)
      if (slot[i] != '\0') slot[kept++] = slot[i];
    if (!utf8::isWellFormed(std::string_view(slot, kept))) return false;
    std::memset(slot + kept, ' ', bytes - kept);
  }
  return true;
}

std::string_view SavCaseDecoder::stringValue(std::string_view slot, int width) {
  const std::string_view text = SavText::trimTrailingBlanks(slot);
  const auto shown = static_cast<std::size_t>(width);
  return text.size() > shown ? text : slot.substr(0, shown);
}

}  // namespace korvana::sav
