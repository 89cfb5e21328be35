#include "platform/spssio/SavByteSource.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace korvana::sav {

bool SavByteSource::read(std::uint64_t offset, void* destination, std::size_t length) const {
  if (offset > size_ || length > size_ - offset) return false;
  if (bytes_ != nullptr) {
    if (length > 0) std::memcpy(destination, bytes_ + offset, length);
    return true;
  }
  auto* out = static_cast<unsigned char*>(destination);
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      failed_ = true;
      return false;
    }
    if (got == 0) return false;  // the file became shorter
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace korvana::sav
