#include "common/DoubleBlock.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <utility>

namespace korvana {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::atomic<std::size_t>& allocated() {
  static std::atomic<std::size_t> bytes{0};
  return bytes;
}

}  // namespace

DoubleBlock::DoubleBlock(std::size_t count, bool zeroFill) {
  if (count == 0) return;
  if (count > (static_cast<std::size_t>(-1) - kHugePage) / sizeof(double)) throw std::bad_alloc();
  const std::size_t bytes = count * sizeof(double);
  if (bytes >= kHugePage) {
    // A mapping of its own, rounded up to whole huge pages; fresh mappings are
    // zero-filled by the system.
    mapped_ = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* block = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
      mapped_ = 0;
      throw std::bad_alloc();
    }
    madvise(block, mapped_, MADV_HUGEPAGE);  // a hint: failure only costs speed
    data_ = static_cast<double*>(block);
  } else {
    data_ = static_cast<double*>(zeroFill ? std::calloc(count, sizeof(double)) : std::malloc(bytes));
    if (!data_) throw std::bad_alloc();
  }
  allocated().fetch_add(mapped_);
}

std::size_t DoubleBlock::allocatedBytes() { return allocated().load(); }

DoubleBlock::~DoubleBlock() { release(); }

DoubleBlock::DoubleBlock(DoubleBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), mapped_(std::exchange(other.mapped_, 0)) {}

DoubleBlock& DoubleBlock::operator=(DoubleBlock&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

void DoubleBlock::release() {
  if (data_) allocated().fetch_sub(mapped_);
  if (mapped_) munmap(data_, mapped_);
  else std::free(data_);
  data_ = nullptr;
  mapped_ = 0;
}

}  // namespace korvana
