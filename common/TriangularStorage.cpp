#include "common/TriangularStorage.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "common/EKorvanaError.h"

namespace korvana {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::atomic<std::size_t>& allocated() {
  static std::atomic<std::size_t> bytes{0};
  return bytes;
}

}  // namespace

TriangularStorage::TriangularStorage(int rows, bool zeroFill) : rows_(rows) {
  if (rows < 0) throw EKorvanaError("The number of objects cannot be negative");
  const std::size_t values = offset(rows);
  if (values == 0) return;
  if (values > (static_cast<std::size_t>(-1) - kHugePage) / sizeof(double)) throw std::bad_alloc();
  bytes_ = values * sizeof(double);
  if (bytes_ >= kHugePage) {
    // A mapping of its own, rounded up to whole huge pages; fresh mappings are
    // zero-filled by the system.
    mapped_ = (bytes_ + kHugePage - 1) / kHugePage * kHugePage;
    void* block = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
      mapped_ = 0;
      throw std::bad_alloc();
    }
    madvise(block, mapped_, MADV_HUGEPAGE);  // a hint: failure only costs speed
    data_ = static_cast<double*>(block);
  } else {
    data_ = static_cast<double*>(zeroFill ? std::calloc(values, sizeof(double)) : std::malloc(bytes_));
    if (!data_) throw std::bad_alloc();
  }
  allocated().fetch_add(mapped_);
}

std::size_t TriangularStorage::allocatedBytes() { return allocated().load(); }

TriangularStorage::~TriangularStorage() { release(); }

TriangularStorage::TriangularStorage(TriangularStorage&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      bytes_(std::exchange(other.bytes_, 0)),
      mapped_(std::exchange(other.mapped_, 0)),
      rows_(std::exchange(other.rows_, 0)) {}

TriangularStorage& TriangularStorage::operator=(TriangularStorage&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
    rows_ = std::exchange(other.rows_, 0);
  }
  return *this;
}

void TriangularStorage::release() {
  if (data_) allocated().fetch_sub(mapped_);
  if (mapped_) munmap(data_, mapped_);
  else std::free(data_);
  data_ = nullptr;
  bytes_ = 0;
  mapped_ = 0;
  rows_ = 0;
}

}  // namespace korvana
