// RegisterKorvana: adds Korvana's entry "Analyze>Classify>&Korvana..." to the
// statistics package's menu for every installed version from 11 on, for the
// current user and for the default user profile. The entry starts the
// desktop program "korvana" from this program's own folder.
//
// Takes no arguments (any argument: exit code 1, nothing done), writes
// nothing to the console, and exits with 0 whatever the registry allowed.
#include <unistd.h>

#include <cstddef>
#include <iterator>
#include <string>

#include "platform/host/Registry.h"
#include "tools/MenuRegistration.h"

namespace {

using namespace korvana::host;
using namespace korvana::menuregistration;

// The desktop program the menu entry starts, in the same folder as this one.
constexpr char kProgramFileName[] = "korvana";
constexpr char kPathSeparator = '/';
constexpr char kActionId[] = "0";
constexpr char kMenuText[] = "Analyze>Classify>&Korvana...";
constexpr char kMenuType[] = "0,2,3,4";

// The folder of the running executable without a trailing separator, or an
// empty string when its file name cannot be had in a buffer of MAX_PATH
// characters, terminating zero included (or when that folder is the root,
// whose name without the separator is empty).
std::string ownFolder() {
  char fileName[MAX_PATH];
  const ssize_t length = ::readlink("/proc/self/exe", fileName, sizeof fileName);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof fileName) return {};
  const std::string path(fileName, static_cast<std::size_t>(length));
  const std::size_t separator = path.rfind(kPathSeparator);
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// Creates or opens root\path with the right to set values and sets its
// default value to text, terminating zero included. A key that cannot be
// created is passed over.
void setEntry(HKEY root, const std::string& path, const std::string& text) {
  HKEY key{};
  if (RegCreateKeyEx(root, path.c_str(), KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegSetValueEx(key, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

void writeEntries(HKEY root, const char* packageKey, const PackageVersion& version,
                  const std::string (&values)[std::size(kEntryKeys)]) {
  const std::string applicationKey = applicationKeyPath(packageKey, version);
  for (std::size_t i = 0; i < std::size(kEntryKeys); ++i) {
    setEntry(root, applicationKey + "\\" + kEntryKeys[i], values[i]);
  }
}

}  // namespace

int main(int argc, char** /*argv*/) {
  if (argc > 1) return 1;
  try {
    const std::string folder = ownFolder();
    if (folder.empty()) return 0;
    const std::string launch = "\"" + folder + kPathSeparator + kProgramFileName + "\"";
    // In the order of kEntryKeys: ActionID, Launch, Menu, MenuType.
    const std::string values[std::size(kEntryKeys)] = {kActionId, launch, kMenuText, kMenuType};
    for (const PackageVersion& version : findPackageVersions()) {
      writeEntries(HKEY_CURRENT_USER, kPackageKey, version, values);
      writeEntries(HKEY_USERS, kDefaultUserPackageKey, version, values);
    }
  } catch (...) {
    // Out of memory: like every registry failure, it ends the run silently.
  }
  return 0;
}
