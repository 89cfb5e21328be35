// Storage of a strict lower triangle of doubles: row i holds the i values of
// columns 0 … i − 1, rows one after another in one block. Large blocks are
// backed by transparent huge pages where the system offers them, because the
// clustering reads the proximities in permuted, scattered order and would
// otherwise spend most of its time on address-translation misses.
#pragma once

#include <cstddef>

namespace korvana {

class TriangularStorage {
 public:
  TriangularStorage() = default;
  /// Room for `rows` rows; every value 0 unless `zeroFill` is false, for
  /// storage that is written in full before it is read.
  explicit TriangularStorage(int rows, bool zeroFill = true);
  ~TriangularStorage();
  TriangularStorage(TriangularStorage&& other) noexcept;
  TriangularStorage& operator=(TriangularStorage&& other) noexcept;
  TriangularStorage(const TriangularStorage&) = delete;
  TriangularStorage& operator=(const TriangularStorage&) = delete;

  int rows() const { return rows_; }
  /// Bytes of the mappings the storages of the process hold themselves (whole
  /// huge pages), for memory measurements; smaller storages come from malloc
  /// and are counted by the allocator's own statistics.
  static std::size_t allocatedBytes();
  static std::size_t offset(int row) {
    const auto r = static_cast<std::size_t>(row);
    return r * (r - (r > 0 ? 1 : 0)) / 2;
  }
  /// The values of row `row` (row ≥ 1); row 0 has none.
  double* row(int row) { return data_ + offset(row); }
  const double* row(int row) const { return data_ + offset(row); }
  double* data() { return data_; }
  const double* data() const { return data_; }

 private:
  void release();

  double* data_ = nullptr;
  std::size_t bytes_ = 0;
  std::size_t mapped_ = 0;  // size of the mapping for large blocks, else 0
  int rows_ = 0;
};

}  // namespace korvana
