#include "output/Version.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "common/EKorvanaError.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace korvana::Version {

int getVersionMajor() { return versionMajor; }
int getVersionMinor() { return versionMinor; }
int getVersionBuild() { return versionBuild; }
std::string getVersionText() { return versionText; }
std::string getWebsiteAddress() { return websiteAddress; }
std::string getLegalNotice() { return legalNotice; }

std::string getProgramFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      const std::string path(buffer.data(), static_cast<std::size_t>(length));
      const std::size_t slash = path.rfind('/');
      return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string getUserGuideUrl() {
  std::string folder = getProgramFolder();
  if (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
  return "file:///" + folder + userGuideFileName;
}

namespace {

// The per-user application-data folder, without a trailing separator; empty
// when the environment names none.
std::string applicationDataFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return config;
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::string(home) + pathSeparator + ".config";
  return {};
}

}  // namespace

std::string getSettingsFilePath() {
  const std::string folder = applicationDataFolder();
  if (!folder.empty()) return folder + pathSeparator + settingsFileName;
  return getProgramFolder() + settingsFileName;
}

void createSettingsFolder() {
  const std::string folder = applicationDataFolder();
  if (folder.empty()) return;
  // Each missing folder on the way is the user's own, as the desktop's base
  // directory rules ask; existing ones are left as they are.
  std::string path;
  std::size_t start = 1;
  while (start <= folder.size()) {
    const std::size_t end = folder.find('/', start);
    path = folder.substr(0, end);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
      throw EKorvanaError("Settings file '" + getSettingsFilePath() + "' cannot be written: the folder '" + path +
                          "' cannot be made: " + std::strerror(errno));
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

std::string getMutexName() { return productName; }
std::string getGlobalMutexName() { return std::string("Global\\") + productName; }

}  // namespace korvana::Version
