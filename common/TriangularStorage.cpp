#include "common/TriangularStorage.h"

#include <utility>

#include "common/EKorvanaError.h"

namespace korvana {

TriangularStorage::TriangularStorage(int rows, bool zeroFill) : rows_(rows) {
  if (rows < 0) throw EKorvanaError("The number of objects cannot be negative");
  block_ = DoubleBlock(offset(rows), zeroFill);
}

TriangularStorage::TriangularStorage(TriangularStorage&& other) noexcept
    : block_(std::move(other.block_)), rows_(std::exchange(other.rows_, 0)) {}

TriangularStorage& TriangularStorage::operator=(TriangularStorage&& other) noexcept {
  if (this != &other) {
    block_ = std::move(other.block_);
    rows_ = std::exchange(other.rows_, 0);
  }
  return *this;
}

}  // namespace korvana
