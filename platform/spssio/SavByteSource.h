// Random access to the bytes of a data file: an open file descriptor (read
// with pread, so the descriptor's offset is left alone) or bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvana::sav {

class SavByteSource {
 public:
  SavByteSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  explicit SavByteSource(std::span<const unsigned char> bytes)
      : bytes_(bytes.data()), size_(bytes.size()) {}

  std::uint64_t size() const { return size_; }

  // Copies length bytes starting at offset. False when they are not all
  // there (beyond the end, or the file could not be read: see failed()).
  bool read(std::uint64_t offset, void* destination, std::size_t length) const;

  // Whether a read failed with an input/output error rather than at the end.
  bool failed() const { return failed_; }

 private:
  int fd_ = -1;
  const unsigned char* bytes_ = nullptr;
  std::uint64_t size_ = 0;
  mutable bool failed_ = false;
};

}  // namespace korvana::sav
