#include "platform/spss/outputdoc/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace korvana::spss {

namespace {

[[noreturn]] void fail(int error, const std::string& what, const std::filesystem::path& path) {
  throw std::system_error(error, std::generic_category(), what + " '" + path.string() + "'");
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) fail(errno, "cannot create a temporary file for", path);
  const std::string temporary(name.data());

  auto abandon = [&](int error, const std::string& what) {
    ::close(fd);
    ::unlink(temporary.c_str());
    fail(error, what, path);
  };

  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      abandon(errno, "cannot write");
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fchmod(fd, 0644) != 0) abandon(errno, "cannot set the permissions of");
  if (::fsync(fd) != 0) abandon(errno, "cannot flush");
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    fail(error, "cannot close", path);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    fail(error, "cannot replace", path);
  }
  // Make the rename itself durable.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace korvana::spss
