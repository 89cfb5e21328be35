#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/EKorvanaError.h"

namespace korvana {

namespace {

namespace fs = std::filesystem;

// Pieces are gathered up to this size before they are written.
constexpr std::size_t kBufferSize = 64 * 1024;
// At most this much of the target's name goes into the temporary name, which
// keeps ".<name>.XXXXXX" within the longest name a folder takes.
constexpr std::size_t kNameInTemporary = 200;

[[noreturn]] void fail(const fs::path& target, const char* step, int error) {
  throw EKorvanaError("cannot write '" + target.string() + "' (" + step + "): " + std::strerror(error));
}

// The process's umask. Linux shows it in /proc/self/status; elsewhere it is
// read by setting it and putting it back.
mode_t processUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      if (std::strncmp(line, "Umask:", 6) == 0) {
        char* end = nullptr;
        const unsigned long mask = std::strtoul(line + 6, &end, 8);
        if (end != line + 6) {
          std::fclose(status);
          return static_cast<mode_t>(mask & 0777);
        }
      }
    }
    std::fclose(status);
  }
  const mode_t mask = ::umask(0077);
  ::umask(mask);
  return mask;
}

// The permission bits the new file takes: those of the regular file it
// replaces, or the mode asked for a new file less the umask.
mode_t finalMode(const fs::path& target, mode_t newFileMode) {
  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) return existing.st_mode & 07777;
  return newFileMode & ~processUmask() & 07777;
}

}  // namespace

PendingFile::PendingFile(const fs::path& target, mode_t newFileMode)
    : target_(target), newFileMode_(newFileMode) {
  folder_ = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string name = target.filename().string().substr(0, kNameInTemporary);
  const std::string pattern = (folder_ / ("." + name + ".XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  fd_ = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd_ < 0) fail(target_, "creating a temporary file", errno);
  path_ = buffer.data();
  buffer_.reserve(kBufferSize);
}

PendingFile::~PendingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

void PendingFile::write(std::string_view piece) {
  if (buffer_.size() + piece.size() > kBufferSize) flush();
  if (piece.size() >= kBufferSize)
    writeAll(piece);
  else
    buffer_.append(piece);
}

void PendingFile::commit() {
  flush();
  if (::fchmod(fd_, finalMode(target_, newFileMode_)) != 0) fail(target_, "setting the permissions", errno);
  if (::fsync(fd_) != 0) fail(target_, "syncing to disk", errno);
  const int fd = fd_;
  fd_ = -1;
  // Linux releases the descriptor even when close is interrupted, and the
  // content is on disk already: only other errors count.
  if (::close(fd) != 0 && errno != EINTR) fail(target_, "closing", errno);
  if (::rename(path_.c_str(), target_.c_str()) != 0) fail(target_, "renaming over it", errno);
  path_.clear();
  const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

void PendingFile::flush() {
  writeAll(buffer_);
  buffer_.clear();
}

void PendingFile::writeAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(target_, "writing", errno);
    }
    if (n == 0) fail(target_, "writing", EIO);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void replaceFileAtomically(const fs::path& target, const ContentProducer& produce, mode_t newFileMode) {
  PendingFile file(target, newFileMode);
  produce([&file](std::string_view piece) { file.write(piece); });
  file.commit();
}

void replaceFileAtomically(const fs::path& target, std::string_view content, mode_t newFileMode) {
  replaceFileAtomically(target, [content](const ContentWriter& write) { write(content); }, newFileMode);
}

}  // namespace korvana
