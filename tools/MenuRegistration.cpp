#include "tools/MenuRegistration.h"

#include <cstdio>
#include <cstring>

namespace korvana::menuregistration {

using namespace korvana::host;

namespace {

// The names of the subkeys of root\path, in enumeration order; enumeration
// stops at the first index that fails. A key that cannot be opened has none.
std::vector<std::string> subkeyNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  HKEY key{};
  if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    char name[kNameBufferLength];
    DWORD nameLength = kNameBufferLength;
    if (RegEnumKeyEx(key, index, name, &nameLength) != ERROR_SUCCESS) break;
    names.emplace_back(name, nameLength);
  }
  RegCloseKey(key);
  return names;
}

}  // namespace

bool isHandledVersion(const char* versionName) {
  const char* point = std::strchr(versionName, '.');
  const std::string major = point != nullptr ? std::string(versionName, point) : std::string(versionName);
  int number = 0;
  return std::sscanf(major.c_str(), "%d", &number) == 1 && number >= kLowestPackageVersion;
}

std::vector<PackageVersion> findPackageVersions() {
  std::vector<std::string> products;
  const std::size_t prefixLength = std::strlen(kProductKeyPrefix);
  for (std::string& name : subkeyNames(HKEY_LOCAL_MACHINE, kPackageKey)) {
    if (name.compare(0, prefixLength, kProductKeyPrefix) == 0) products.push_back(std::move(name));
  }
  std::vector<PackageVersion> versions;
  for (const std::string& product : products) {
    for (std::string& version : subkeyNames(HKEY_LOCAL_MACHINE, std::string(kPackageKey) + "\\" + product)) {
      if (isHandledVersion(version.c_str())) versions.push_back({product, std::move(version)});
    }
  }
  return versions;
}

std::string applicationsKeyPath(const char* packageKey, const PackageVersion& version) {
  return std::string(packageKey) + "\\" + version.product + "\\" + version.version + "\\" + kApplicationsKey;
}

std::string applicationKeyPath(const char* packageKey, const PackageVersion& version) {
  return applicationsKeyPath(packageKey, version) + "\\" + kApplicationKey;
}

}  // namespace korvana::menuregistration
