#include "platform/spssio/SavDataExtent.h"

#include <algorithm>
#include <array>
#include <vector>

namespace korvana::sav {

namespace {

// Sequential reading of the data area in large pieces.
class ChunkedReader {
 public:
  ChunkedReader(const SavByteSource& source, std::uint64_t begin, std::uint64_t end)
      : source_(source), next_(begin), end_(end) {}

  // The next 8 bytes; false at the end (fewer than 8 left) or on a read error.
  bool nextUnit(std::array<unsigned char, 8>& unit) {
    if (position_ + 8 > buffer_.size()) {
      if (!refill()) return false;
    }
    std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(position_), 8, unit.begin());
    position_ += 8;
    return true;
  }

  // Whether 8 more bytes can be read, without reading them.
  bool skipUnit() {
    std::array<unsigned char, 8> unused{};
    return nextUnit(unused);
  }

 private:
  bool refill() {
    // Keep what is left of the buffer (less than 8 bytes) in front.
    std::vector<unsigned char> rest(buffer_.begin() + static_cast<std::ptrdiff_t>(position_),
                                    buffer_.end());
    const std::uint64_t wanted = std::min<std::uint64_t>(kChunk, end_ - next_);
    buffer_ = std::move(rest);
    const std::size_t kept = buffer_.size();
    buffer_.resize(kept + static_cast<std::size_t>(wanted));
    if (wanted > 0 && !source_.read(next_, buffer_.data() + kept, static_cast<std::size_t>(wanted))) {
      buffer_.resize(kept);
      position_ = 0;
      return false;
    }
    next_ += wanted;
    position_ = 0;
    return buffer_.size() >= 8;
  }

  static constexpr std::uint64_t kChunk = 1u << 16;
  const SavByteSource& source_;
  std::uint64_t next_;
  std::uint64_t end_;
  std::vector<unsigned char> buffer_;
  std::size_t position_ = 0;
};

}  // namespace

SavDataExtent SavDataExtent::measure(const SavByteSource& source, const SavDictionaryLayout& layout,
                                     std::int64_t caseLimit) {
  SavDataExtent extent;
  const std::uint64_t dataBytes = source.size() - layout.dataOffset;
  const std::uint64_t elementsPerCase = layout.elementsPerCase;

  if (layout.compression == SavDictionaryLayout::kCompressionNone) {
    const std::uint64_t caseBytes = 8 * elementsPerCase;
    extent.measured = true;
    extent.completeCases = dataBytes / caseBytes;
    extent.cutInsideCase = dataBytes % caseBytes != 0;
    extent.visibleSize = source.size();
    return extent;
  }
  if (layout.compression != SavDictionaryLayout::kCompressionBytecode) {
    extent.visibleSize = source.size();
    return extent;
  }

  const std::uint64_t alignedBytes = dataBytes / 8 * 8;
  extent.measured = true;
  extent.visibleSize = layout.dataOffset + alignedBytes;

  ChunkedReader reader(source, layout.dataOffset, layout.dataOffset + alignedBytes);
  std::uint64_t elements = 0;
  std::uint64_t consumed = 0;  // bytes of the data area used so far
  bool ended = false;          // an end command was met
  bool missingRaw = false;     // a command whose 8 bytes are not there
  const auto enough = [&] {
    return caseLimit >= 0 &&
           elements / elementsPerCase >= static_cast<std::uint64_t>(caseLimit);
  };
  std::array<unsigned char, 8> commands{};
  while (!ended && !missingRaw && !enough() && reader.nextUnit(commands)) {
    consumed += 8;
    for (const unsigned char command : commands) {
      if (command == kCommandPadding) continue;
      if (command == kCommandEnd) {
        ended = true;
        break;
      }
      if (command == kCommandRaw) {
        if (!reader.skipUnit()) {
          missingRaw = true;
          break;
        }
        consumed += 8;
      }
      ++elements;
    }
  }

  extent.completeCases = elements / elementsPerCase;
  if (!enough()) {
    extent.cutInsideCase = elements % elementsPerCase != 0 || missingRaw ||
                           (!ended && consumed < dataBytes);
  }
  return extent;
}

}  // namespace korvana::sav
