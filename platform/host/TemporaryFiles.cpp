#include "platform/host/TemporaryFiles.h"

#include <fcntl.h>
#include <stdlib.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace korvana::host {

std::string temporaryFolder() {
  for (const char* variable : {"TMPDIR", "TMP"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return "/tmp";
}

bool temporaryFolderIsInMemory() {
  struct statfs info {};
  return ::statfs(temporaryFolder().c_str(), &info) == 0 && info.f_type == TMPFS_MAGIC;
}

std::string reserveTemporaryFile(const std::string& prefix) {
  std::string folder = temporaryFolder();
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const std::string pattern = folder + "/" + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // mkstemp creates the file with O_CREAT | O_EXCL and mode 0600.
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return {};
  ::close(fd);
  return std::string(name.data());
}

}  // namespace korvana::host
