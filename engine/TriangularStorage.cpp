#include "engine/TriangularStorage.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "engine/KorvanaError.h"

namespace korvana {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

TriangularStorage::TriangularStorage(int rows, bool zeroFill) : rows_(rows) {
  if (rows < 0) throw EKorvanaError("The number of objects cannot be negative");
  const std::size_t values = offset(rows);
  if (values == 0) return;
  if (values > (static_cast<std::size_t>(-1) / sizeof(double)) - kHugePage) throw std::bad_alloc();
  bytes_ = values * sizeof(double);
  if (bytes_ >= kHugePage) {
    const std::size_t rounded = (bytes_ + kHugePage - 1) / kHugePage * kHugePage;
    data_ = static_cast<double*>(std::aligned_alloc(kHugePage, rounded));
    if (data_) madvise(data_, rounded, MADV_HUGEPAGE);  // a hint: failure only costs speed
  } else {
    data_ = static_cast<double*>(std::malloc(bytes_));
  }
  if (!data_) throw std::bad_alloc();
  if (zeroFill) std::memset(data_, 0, bytes_);
}

TriangularStorage::~TriangularStorage() { release(); }

TriangularStorage::TriangularStorage(TriangularStorage&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      bytes_(std::exchange(other.bytes_, 0)),
      rows_(std::exchange(other.rows_, 0)) {}

TriangularStorage& TriangularStorage::operator=(TriangularStorage&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
    rows_ = std::exchange(other.rows_, 0);
  }
  return *this;
}

void TriangularStorage::release() {
  std::free(data_);
  data_ = nullptr;
  bytes_ = 0;
  rows_ = 0;
}

}  // namespace korvana
