#include "RegistryTestSupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvana::host::testing {

namespace {

constexpr const char* kVariable = "KORVANA_REGISTRY_DIR";

void listKey(HKEY root, const std::string& rootName, const std::string& path,
             std::vector<std::string>& lines) {
  if (!path.empty()) {
    std::string line = rootName + "\\" + path;
    const std::string value = defaultValue(root, path);
    if (value != "<none>") {
      line += " = ";
      for (const char c : value) line += c == '\0' ? std::string("\\0") : std::string(1, c);
    }
    lines.push_back(line);
  }
  for (const std::string& name : subkeys(root, path)) {
    listKey(root, rootName, path.empty() ? name : path + "\\" + name, lines);
  }
}

}  // namespace

TemporaryRegistry::TemporaryRegistry() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/korvana-registry-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  base_ = pattern;
  folder_ = base_ + "/registry";
  if (const char* previous = std::getenv(kVariable)) {
    hadPrevious_ = true;
    previous_ = previous;
  }
  setenv(kVariable, folder_.c_str(), 1);
}

TemporaryRegistry::~TemporaryRegistry() {
  if (hadPrevious_) {
    setenv(kVariable, previous_.c_str(), 1);
  } else {
    unsetenv(kVariable);
  }
  std::error_code ignored;
  std::filesystem::remove_all(base_, ignored);
}

std::string TemporaryRegistry::fileText() const {
  std::ifstream in(filePath(), std::ios::binary);
  if (!in) return "<absent>";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void TemporaryRegistry::writeFile(const std::string& text) const {
  std::filesystem::create_directories(folder_);
  std::ofstream(filePath(), std::ios::binary) << text;
}

void createKey(HKEY root, const std::string& path) {
  HKEY key{};
  ASSERT_EQ(RegCreateKeyEx(root, path.c_str(), KEY_READ, &key), ERROR_SUCCESS) << path << ": " << RegistryErrorMessage();
  RegCloseKey(key);
}

void setDefaultValue(HKEY root, const std::string& path, const std::string& text) {
  HKEY key{};
  ASSERT_EQ(RegCreateKeyEx(root, path.c_str(), KEY_SET_VALUE, &key), ERROR_SUCCESS) << path;
  EXPECT_EQ(RegSetValueEx(key, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS)
      << path << ": " << RegistryErrorMessage();
  RegCloseKey(key);
}

std::string defaultValue(HKEY root, const std::string& path) {
  HKEY key{};
  LONG result = RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key);
  if (result != ERROR_SUCCESS) return "<error " + std::to_string(result) + ">";
  DWORD size = 0;
  result = RegQueryValueEx(key, nullptr, nullptr, nullptr, &size);
  std::string value(size, '?');
  if (result == ERROR_SUCCESS) {
    result = RegQueryValueEx(key, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size);
  }
  RegCloseKey(key);
  if (result == ERROR_FILE_NOT_FOUND) return "<none>";
  if (result != ERROR_SUCCESS) return "<error " + std::to_string(result) + ">";
  return value;
}

std::vector<std::string> subkeys(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  HKEY key{};
  if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    const LONG result = RegEnumKeyEx(key, index, name, &length);
    if (result == ERROR_NO_MORE_ITEMS) break;
    EXPECT_EQ(result, ERROR_SUCCESS);
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

std::vector<std::string> listRegistry() {
  std::vector<std::string> lines;
  listKey(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "", lines);
  listKey(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "", lines);
  listKey(HKEY_USERS, "HKEY_USERS", "", lines);
  return lines;
}

}  // namespace korvana::host::testing
