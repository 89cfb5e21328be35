// UnregisterKorvana: removes the menu entry that RegisterKorvana added, for
// every installed version from 11 on, for the current user and for the
// default user profile. Keys around the entry stay.
//
// Takes no arguments (any argument: exit code 1, nothing done), writes
// nothing to the console, and exits with 0 whatever the registry allowed.
#include <cstddef>
#include <string>

#include "platform/host/Registry.h"
#include "tools/MenuRegistration.h"

namespace {

using namespace korvana::host;
using namespace korvana::menuregistration;

// Opens root\path for writing and deletes the subkeys named, in order. Every
// failure is passed over.
template <std::size_t N>
void deleteSubkeys(HKEY root, const std::string& path, const char* const (&subkeys)[N]) {
  HKEY key{};
  if (RegOpenKeyEx(root, path.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  for (const char* subkey : subkeys) RegDeleteKey(key, subkey);
  RegCloseKey(key);
}

void removeEntry(HKEY root, const char* packageKey, const PackageVersion& version) {
  deleteSubkeys(root, applicationKeyPath(packageKey, version), kEntryKeys);
  const char* const applicationKey[] = {kApplicationKey};
  deleteSubkeys(root, applicationsKeyPath(packageKey, version), applicationKey);
}

}  // namespace

int main(int argc, char** /*argv*/) {
  if (argc > 1) return 1;
  try {
    for (const PackageVersion& version : findPackageVersions()) {
      removeEntry(HKEY_CURRENT_USER, kPackageKey, version);
      removeEntry(HKEY_USERS, kDefaultUserPackageKey, version);
    }
  } catch (...) {
    // Out of memory: like every registry failure, it ends the run silently.
  }
  return 0;
}
