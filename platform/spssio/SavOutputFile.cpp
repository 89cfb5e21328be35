#include "platform/spssio/SavOutputFile.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvana::sav {

namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;
constexpr int kCreateAttempts = 100;

bool writeAll(int fd, const unsigned char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

int SavOutputFile::create(const char* targetPath, std::unique_ptr<SavOutputFile>& result) {
  if (targetPath == nullptr || targetPath[0] == '\0') return SAV_FILE_OPEN_ERROR;
  const std::string target(targetPath);
  if (target.back() == '/') return SAV_FILE_OPEN_ERROR;

  // An existing target must be a file this process may replace.
  struct stat info {};
  bool replacing = false;
  if (::stat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode) || ::access(target.c_str(), W_OK) != 0) return SAV_FILE_OPEN_ERROR;
    replacing = true;
  } else if (errno != ENOENT) {
    return SAV_FILE_OPEN_ERROR;
  }

  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string prefix = (slash == std::string::npos ? std::string() : folder) + "." +
                             base.substr(0, 64) + "." + std::to_string(::getpid()) + ".";

  std::unique_ptr<SavOutputFile> file(new SavOutputFile());
  // Names differ between the writers open at once (the object's address) and
  // between attempts; O_EXCL never takes over an existing file.
  const auto identity = reinterpret_cast<std::uintptr_t>(file.get());
  for (int attempt = 0; attempt < kCreateAttempts && file->fd_ < 0; ++attempt) {
    const std::string candidate =
        prefix + std::to_string(identity) + "-" + std::to_string(attempt) + ".tmp";
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      file->fd_ = fd;
      file->temporaryPath_ = candidate;
      // A replaced file keeps its permissions (an owner-only file reserved
      // for the data stays owner-only).
      if (replacing && ::fchmod(fd, info.st_mode & 07777) != 0) return SAV_FILE_OPEN_ERROR;
    } else if (errno != EEXIST) {
      return errno == ENOMEM ? SAV_NO_MEMORY : SAV_FILE_OPEN_ERROR;
    }
  }
  if (file->fd_ < 0) return SAV_FILE_OPEN_ERROR;
  file->targetPath_ = target;
  file->folder_ = folder;
  file->buffer_.reserve(kBufferSize);
  result = std::move(file);
  return SAV_OK;
}

SavOutputFile::~SavOutputFile() { discard(); }

bool SavOutputFile::write(const void* data, std::size_t length) {
  if (failed_ || fd_ < 0) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (buffer_.size() + length > kBufferSize && !flush()) return false;
  if (length >= kBufferSize) {
    if (!writeAll(fd_, bytes, length)) failed_ = true;
    written_ += length;
    return !failed_;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + length);
  return true;
}

bool SavOutputFile::overwrite(std::uint64_t offset, const void* data, std::size_t length) {
  if (!flush()) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const ssize_t written = ::pwrite(fd_, bytes, length, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = true;
      return false;
    }
    bytes += written;
    offset += static_cast<std::uint64_t>(written);
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

bool SavOutputFile::flush() {
  if (failed_) return false;
  if (!buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size())) failed_ = true;
  written_ += buffer_.size();
  buffer_.clear();
  return !failed_;
}

int SavOutputFile::commit() {
  if (fd_ < 0) return SAV_FILE_WRITE_ERROR;
  bool ok = flush() && (!synced_ || ::fsync(fd_) == 0);
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  if (ok && ::rename(temporaryPath_.c_str(), targetPath_.c_str()) == 0) {
    temporaryPath_.clear();
    // The rename itself is made durable by syncing the folder; a folder that
    // cannot be synced does not undo a file that is complete and in place.
    const int folderFd = synced_ ? ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (folderFd >= 0) {
      ::fsync(folderFd);
      ::close(folderFd);
    }
    return SAV_OK;
  }
  discard();
  return SAV_FILE_WRITE_ERROR;
}

void SavOutputFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporaryPath_.empty()) {
    ::unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
  failed_ = true;
}

}  // namespace korvana::sav
