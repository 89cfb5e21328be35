#include "platform/host/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"

namespace korvana::host {

namespace {

constexpr const char* kFileName = "registry.txt";
constexpr const char* kLockFileName = "registry.lock";

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string systemError(int error) { return std::strerror(error); }

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return found->pw_dir;
  }
  return {};
}

LONG ioFailure(std::string& message, std::string text) {
  message = std::move(text);
  return ERROR_REGISTRY_IO_FAILED;
}

// Replaces folder/registry.txt by text (common/AtomicFile.h). A new file is
// readable by its owner only.
LONG writeRegistryFile(const std::string& folder, const std::string& text, std::string& message) {
  try {
    replaceFileAtomically(folder + "/" + kFileName, text, privateFileMode);
  } catch (const EKorvanaError& e) {
    return ioFailure(message, std::string(e.what()) + "; the registry is unchanged");
  }
  return ERROR_SUCCESS;
}

}  // namespace

std::string registryFolderPath() {
  const char* folder = std::getenv("KORVANA_REGISTRY_DIR");
  if (folder != nullptr && *folder != '\0') return folder;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/korvana/registry";
  const std::string home = homeFolder();
  if (home.empty()) return {};
  return home + "/.local/share/korvana/registry";
}

LONG readRegistry(RegistryTree& tree, std::string& message) {
  const std::string folder = registryFolderPath();
  if (folder.empty()) {
    return ioFailure(message,
                     "no folder for the registry: KORVANA_REGISTRY_DIR and XDG_DATA_HOME are not set "
                     "and the home folder is unknown");
  }
  const std::string path = folder + "/" + kFileName;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) {
      tree = RegistryTree();
      return ERROR_SUCCESS;
    }
    return ioFailure(message, "cannot read the registry file '" + path + "': " + systemError(errno));
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return ioFailure(message, "cannot read the registry file '" + path + "': " + systemError(errno));
    }
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxRegistryFileBytes) {
      message = "registry file '" + path + "' is larger than " + std::to_string(kMaxRegistryFileBytes >> 20) +
                " MB; it is not read";
      return ERROR_BADDB;
    }
  }
  try {
    tree = parseRegistryText(text, path);
  } catch (const EKorvanaError& e) {
    message = e.what();
    return ERROR_BADDB;
  }
  return ERROR_SUCCESS;
}

LONG changeRegistry(const RegistryChange& change, std::string& message) {
  const std::string folder = registryFolderPath();
  if (folder.empty()) {
    RegistryTree unused;
    return readRegistry(unused, message);  // reports the missing folder
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return ioFailure(message, "cannot create the registry folder '" + folder + "': " + error.message());
  }
  const std::string lockPath = folder + "/" + kLockFileName;
  FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (lock.get() < 0) {
    return ioFailure(message, "cannot open the registry lock file '" + lockPath + "': " + systemError(errno));
  }
  // Held until lock is closed on return, after the new file is in place.
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      return ioFailure(message, "cannot lock the registry lock file '" + lockPath + "': " + systemError(errno));
    }
  }
  RegistryTree tree;
  LONG result = readRegistry(tree, message);
  if (result != ERROR_SUCCESS) return result;
  bool changed = false;
  result = change(tree, changed);
  if (result != ERROR_SUCCESS || !changed) return result;
  return writeRegistryFile(folder, formatRegistryText(tree), message);
}

}  // namespace korvana::host
