// Storage of a strict lower triangle of doubles: row i holds the i values of
// columns 0 … i − 1, rows one after another in one block (DoubleBlock, on
// huge pages when it is large).
#pragma once

#include <cstddef>

#include "common/DoubleBlock.h"

namespace korvana {

class TriangularStorage {
 public:
  TriangularStorage() = default;
  /// Room for `rows` rows; every value 0 unless `zeroFill` is false, for
  /// storage that is written in full before it is read.
  explicit TriangularStorage(int rows, bool zeroFill = true);
  TriangularStorage(TriangularStorage&& other) noexcept;
  TriangularStorage& operator=(TriangularStorage&& other) noexcept;
  TriangularStorage(const TriangularStorage&) = delete;
  TriangularStorage& operator=(const TriangularStorage&) = delete;

  int rows() const { return rows_; }
  /// Bytes of the mappings the storages of the process hold themselves (see
  /// DoubleBlock::allocatedBytes).
  static std::size_t allocatedBytes() { return DoubleBlock::allocatedBytes(); }
  static std::size_t offset(int row) {
    const auto r = static_cast<std::size_t>(row);
    return r * (r - (r > 0 ? 1 : 0)) / 2;
  }
  /// The values of row `row` (row ≥ 1); row 0 has none.
  double* row(int row) { return block_.data() + offset(row); }
  const double* row(int row) const { return block_.data() + offset(row); }
  double* data() { return block_.data(); }
  const double* data() const { return block_.data(); }

 private:
  DoubleBlock block_;
  int rows_ = 0;
};

}  // namespace korvana
