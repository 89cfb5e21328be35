// One block of doubles in memory. Large blocks are mappings of their own,
// backed by transparent huge pages where the system offers them, because the
// clustering reads its matrices in permuted, scattered order and would
// otherwise spend much of its time on address-translation misses.
#pragma once

#include <cstddef>

namespace korvana {

class DoubleBlock {
 public:
  DoubleBlock() = default;
  /// Room for `count` values; every value 0 unless `zeroFill` is false, for a
  /// block that is written in full before it is read.
  explicit DoubleBlock(std::size_t count, bool zeroFill = true);
  ~DoubleBlock();
  DoubleBlock(DoubleBlock&& other) noexcept;
  DoubleBlock& operator=(DoubleBlock&& other) noexcept;
  DoubleBlock(const DoubleBlock&) = delete;
  DoubleBlock& operator=(const DoubleBlock&) = delete;

  double* data() { return data_; }
  const double* data() const { return data_; }

  /// Bytes of the mappings the blocks of the process hold themselves (whole
  /// huge pages), for memory measurements; smaller blocks come from malloc
  /// and are counted by the allocator's own statistics.
  static std::size_t allocatedBytes();

 private:
  void release();

  double* data_ = nullptr;
  std::size_t mapped_ = 0;  // size of the mapping for large blocks, else 0
};

}  // namespace korvana
