#include "platform/host/Registry.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "platform/host/RegistryTree.h"

namespace {

using namespace korvana::host;
using namespace korvana::host::testing;

const std::string kFirstLine = "Korvana registry, format 1\n";

// The file without its comment lines.
std::string withoutComments(const std::string& text) {
  std::string kept;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start + 1);
    if (line.empty() || line[0] != ';') kept += line;
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return kept;
}

TEST(RegistryKeys, NamesIgnoreLetterCaseAndKeepTheCaseTheyWereCreatedWith) {
  TemporaryRegistry registry;
  createKey(HKEY_CURRENT_USER, "Software\\SPSS\\Alpha");
  DWORD disposition = 0;
  HKEY key{};
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\spss\\ALPHA", KEY_READ, &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "software\\Spss\\Beta", KEY_READ, &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(key);
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, ""), std::vector<std::string>{"Software"});
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "sOfTwArE\\SPSS"), (std::vector<std::string>{"Alpha", "Beta"}));
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\spss\\alpha", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\SPSS\\Alphabet", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  // The roots are separate trees.
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyEx(HKEY_USERS, "Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, HKEY{});
}

TEST(RegistryKeys, EnumerationFollowsCreationOrderAndMeasuresTheBuffer) {
  TemporaryRegistry registry;
  for (const char* name : {"zeta", "alpha", "Mid"}) createKey(HKEY_LOCAL_MACHINE, std::string("Root\\") + name);
  HKEY key{};
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Root", 0, KEY_READ, &key), ERROR_SUCCESS);
  char name[16] = "untouched";
  DWORD length = 5;  // "alpha" needs 6 with its terminating zero
  EXPECT_EQ(RegEnumKeyEx(key, 1, name, &length), ERROR_MORE_DATA);
  EXPECT_EQ(length, 5u);
  EXPECT_STREQ(name, "untouched");
  length = 6;
  ASSERT_EQ(RegEnumKeyEx(key, 1, name, &length), ERROR_SUCCESS);
  EXPECT_STREQ(name, "alpha");
  EXPECT_EQ(length, 5u);
  length = sizeof name;
  EXPECT_EQ(RegEnumKeyEx(key, 3, name, &length), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
  EXPECT_EQ(subkeys(HKEY_LOCAL_MACHINE, "Root"), (std::vector<std::string>{"zeta", "alpha", "Mid"}));
}

TEST(RegistryKeys, HandlesAllowOnlyTheRightsTheyWereOpenedWith) {
  TemporaryRegistry registry;
  createKey(HKEY_CURRENT_USER, "App\\Existing");
  const BYTE data[] = "v";
  HKEY readable{};
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "App", 0, KEY_READ, &readable), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueEx(readable, nullptr, REG_SZ, data, 2), ERROR_ACCESS_DENIED);
  HKEY sub{};
  EXPECT_EQ(RegCreateKeyEx(readable, "New", KEY_READ, &sub), ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegCreateKeyEx(readable, "existing", KEY_READ, &sub), ERROR_SUCCESS);  // opening is no creation
  RegCloseKey(sub);
  RegCloseKey(readable);

  HKEY writable{};
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "App", 0, KEY_WRITE, &writable), ERROR_SUCCESS);
  char name[32];
  DWORD length = sizeof name;
  EXPECT_EQ(RegEnumKeyEx(writable, 0, name, &length), ERROR_ACCESS_DENIED);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(writable, nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueEx(writable, nullptr, REG_SZ, data, 2), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueEx(writable, "named", REG_SZ, data, 2), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueEx(writable, nullptr, REG_SZ + 3, data, 2), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyEx(writable, "New", KEY_READ, &sub), ERROR_SUCCESS);
  RegCloseKey(sub);
  RegCloseKey(writable);
  EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, "App"), std::string("v\0", 2));
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "App"), (std::vector<std::string>{"Existing", "New"}));
}

TEST(RegistryKeys, BadNamesAndHandlesAreRefused) {
  TemporaryRegistry registry;
  HKEY key{};
  for (const std::string& bad : std::vector<std::string>{"a\\\\b", "\\a", "a\\", std::string(256, 'n'), "tab\there"}) {
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, bad.c_str(), KEY_READ, &key), ERROR_INVALID_PARAMETER) << bad;
  }
  createKey(HKEY_CURRENT_USER, std::string(255, 'n'));
  EXPECT_EQ(RegOpenKeyEx(HKEY{12345}, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_USERS), ERROR_SUCCESS);
}

TEST(RegistryKeys, DeletingRefusesKeysWithSubkeys) {
  TemporaryRegistry registry;
  createKey(HKEY_USERS, "Parent\\Child");
  setDefaultValue(HKEY_USERS, "Parent\\Sibling", "kept");
  HKEY parent{};
  ASSERT_EQ(RegOpenKeyEx(HKEY_USERS, "Parent", 0, KEY_WRITE, &parent), ERROR_SUCCESS);
  HKEY child{};
  ASSERT_EQ(RegOpenKeyEx(parent, "child", 0, KEY_READ, &child), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_USERS, "Parent"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(parent, "CHILD"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(parent, "Child"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(parent, ""), ERROR_INVALID_PARAMETER);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(child, nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  RegCloseKey(child);
  EXPECT_EQ(subkeys(HKEY_USERS, "Parent"), std::vector<std::string>{"Sibling"});
  EXPECT_EQ(defaultValue(HKEY_USERS, "Parent\\Sibling"), std::string("kept\0", 5));
  EXPECT_EQ(RegDeleteKey(parent, "Sibling"), ERROR_SUCCESS);
  RegCloseKey(parent);
  EXPECT_EQ(RegDeleteKey(HKEY_USERS, "Parent"), ERROR_SUCCESS);
  EXPECT_TRUE(listRegistry().empty());
}

TEST(RegistryFile, KeysAndValuesAreWrittenAsDocumentedText) {
  TemporaryRegistry registry;
  EXPECT_EQ(RegistryFolder(), registry.folder());
  EXPECT_TRUE(listRegistry().empty());
  EXPECT_FALSE(std::filesystem::exists(registry.folder())) << "reading must not create the folder";

  createKey(HKEY_LOCAL_MACHINE, "Software\\SPSS");
  const std::string data = std::string("q\"b\\t\t\x7f\xc3\xa9") + '\0' + "1";
  HKEY key{};
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Mixed [1]", KEY_SET_VALUE, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(key, "", REG_SZ, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
  setDefaultValue(HKEY_CURRENT_USER, "Software\\Plain", "");
  EXPECT_EQ(withoutComments(registry.fileText()),
            kFirstLine +
                "[HKEY_LOCAL_MACHINE\\Software]\n"
                "[HKEY_LOCAL_MACHINE\\Software\\SPSS]\n"
                "[HKEY_CURRENT_USER\\Software]\n"
                "[HKEY_CURRENT_USER\\Software\\Mixed [1]]\n"
                "@ = REG_SZ \"q\\\"b\\\\t\\x09\\x7F\xc3\xa9\\01\"\n"
                "[HKEY_CURRENT_USER\\Software\\Plain]\n"
                "@ = REG_SZ \"\\0\"\n");
  EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, "Software\\Mixed [1]"), data);
  EXPECT_EQ(std::filesystem::status(registry.filePath()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
      << "a new registry file is its owner's";

  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Plain", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0;
  BYTE small[1];
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(key, nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(RegQueryValueEx(key, nullptr, &type, small, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  RegCloseKey(key);
}

TEST(RegistryFile, HandWrittenFilesAreReadAsDocumented) {
  TemporaryRegistry registry;
  registry.writeFile(
      "Korvana registry, format 1\r\n"
      "; a comment\r\n"
      "\r\n"
      "  [hkey_current_user\\Software\\Deep\\Name [with] brackets]  \r\n"
      "\t@   =   REG_SZ   \"v\\x41\\x0a\\0\"  \r\n"
      "[HKEY_CURRENT_USER\\Software]\n"
      "[HKEY_USERS\\Second]\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Another]\n");
  EXPECT_EQ(listRegistry(), (std::vector<std::string>{
                                "HKEY_CURRENT_USER\\Software",
                                "HKEY_CURRENT_USER\\Software\\Deep",
                                "HKEY_CURRENT_USER\\Software\\Deep\\Name [with] brackets = vA\n\\0",
                                "HKEY_CURRENT_USER\\Software\\Another",
                                "HKEY_USERS\\Second",
                            }));
}

TEST(RegistryFile, CorruptFilesAreNamedWithTheirLineAndNeverOverwritten) {
  const std::string value = "[HKEY_CURRENT_USER\\a]\n@ = REG_SZ ";
  const struct {
    std::string text;
    int line;
  } cases[] = {
      {"", 1},
      {"Some other file\n", 1},
      {kFirstLine + "[HKEY_CLASSES_ROOT\\x]\n", 2},
      {kFirstLine + "\n; c\n" + value + "\"x\\q\"\n", 5},
      {kFirstLine + "@ = REG_SZ \"x\"\n", 2},
      {kFirstLine + value + "\"x\"\n@ = REG_SZ \"y\"\n", 4},
      {kFirstLine + "[HKEY_CURRENT_USER\\a\\\\b]\n", 2},
      {kFirstLine + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", 2},
      {kFirstLine + "[HKEY_CURRENT_USER\\a]\n@ = REG_DWORD 1\n", 3},
      {kFirstLine + value + "\"unterminated\n", 3},
      {kFirstLine + value + "\"x\" trailing\n", 3},
      {kFirstLine + value + "\"bad \\x4\"\n", 3},
      {kFirstLine + "[HKEY_CURRENT_USER\\a\n", 2},
      {kFirstLine + "junk\n", 2},
      {kFirstLine + "[HKEY_CURRENT_USER" + [] {
         std::string deep;
         for (std::size_t i = 0; i <= kMaxKeyDepth; ++i) deep += "\\k";
         return deep;
       }() + "]\n",
       2},
  };
  for (const auto& corrupt : cases) {
    TemporaryRegistry registry;
    registry.writeFile(corrupt.text);
    HKEY key{};
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "a", 0, KEY_READ, &key), ERROR_BADDB) << corrupt.text;
    std::string where = "'";
    where += registry.filePath();
    where += "', line ";
    where += std::to_string(corrupt.line);
    where += ':';
    EXPECT_NE(RegistryErrorMessage().find(where), std::string::npos) << RegistryErrorMessage();
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "b", KEY_WRITE, &key), ERROR_BADDB);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "a"), ERROR_BADDB);
    EXPECT_EQ(registry.fileText(), corrupt.text);
  }
}

// The store is bounded: keys nest at most as deep as on Windows, and a file
// too large to be a registry is refused rather than read. Keys as deep as
// allowed are written and read back.
TEST(RegistryFile, DepthAndSizeAreBounded) {
  TemporaryRegistry registry;
  std::string deepest = "k";
  for (std::size_t i = 1; i < kMaxKeyDepth; ++i) deepest += "\\k";
  HKEY key{};
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, deepest.c_str(), KEY_WRITE, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, deepest.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, (deepest + "\\k").c_str(), KEY_WRITE, &key), ERROR_INVALID_PARAMETER);

  TemporaryRegistry huge;
  std::string text = kFirstLine;
  while (text.size() <= kMaxRegistryFileBytes) text += "; " + std::string(1000, 'x') + "\n";
  huge.writeFile(text);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "a", 0, KEY_READ, &key), ERROR_BADDB);
  EXPECT_NE(RegistryErrorMessage().find("is larger than 64 MB"), std::string::npos) << RegistryErrorMessage();
}

TEST(RegistryFile, FolderComesFromTheEnvironment) {
  const char* const names[] = {"KORVANA_REGISTRY_DIR", "XDG_DATA_HOME", "HOME"};
  std::vector<std::pair<bool, std::string>> saved;
  for (const char* name : names) {
    const char* value = std::getenv(name);
    saved.emplace_back(value != nullptr, value != nullptr ? value : "");
  }
  setenv("KORVANA_REGISTRY_DIR", "/somewhere/registry", 1);
  setenv("XDG_DATA_HOME", "/data", 1);
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(RegistryFolder(), "/somewhere/registry");
  setenv("KORVANA_REGISTRY_DIR", "", 1);
  EXPECT_EQ(RegistryFolder(), "/data/korvana/registry");
  setenv("XDG_DATA_HOME", "relative/data", 1);  // not absolute: ignored
  EXPECT_EQ(RegistryFolder(), "/home/someone/.local/share/korvana/registry");
  for (std::size_t i = 0; i < saved.size(); ++i) {
    if (saved[i].first) {
      setenv(names[i], saved[i].second.c_str(), 1);
    } else {
      unsetenv(names[i]);
    }
  }
}

// A failing write (the file size limit stops it halfway) leaves the old file
// as it was and no temporary file behind.
TEST(RegistryFile, FailedWriteLeavesTheOldFileIntact) {
  TemporaryRegistry registry;
  setDefaultValue(HKEY_CURRENT_USER, "Software\\Existing", std::string(300, 'x'));
  const std::string before = registry.fileText();
  ASSERT_GT(before.size(), 300u);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{200, 200};
    setrlimit(RLIMIT_FSIZE, &limit);
    HKEY key{};
    const LONG result = RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\New", KEY_READ, &key);
    const bool named = RegistryErrorMessage().find(registry.filePath()) != std::string::npos;
    _exit(result == ERROR_REGISTRY_IO_FAILED && named ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(registry.fileText(), before);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(registry.folder()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"registry.lock", "registry.txt"})) << "no temporary file is left";
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "Software"), std::vector<std::string>{"Existing"});
  createKey(HKEY_CURRENT_USER, "Software\\New");
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "Software"), (std::vector<std::string>{"Existing", "New"}));
}

// Two processes adding keys at the same moment: the lock keeps every update.
TEST(RegistryFile, ConcurrentWritersFromTwoProcessesLoseNothing) {
  TemporaryRegistry registry;
  createKey(HKEY_CURRENT_USER, "Shared");
  constexpr int kKeysPerWriter = 120;
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t children[2];
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      close(start[1]);
      char go;
      if (read(start[0], &go, 1) != 0) _exit(2);  // wait until the parent closes the pipe
      int failures = 0;
      for (int i = 0; i < kKeysPerWriter; ++i) {
        const std::string name = "Shared\\W" + std::to_string(writer) + "-" + std::to_string(i);
        HKEY key{};
        if (RegCreateKeyEx(HKEY_CURRENT_USER, name.c_str(), KEY_SET_VALUE, &key) != ERROR_SUCCESS ||
            RegSetValueEx(key, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                          static_cast<DWORD>(name.size() + 1)) != ERROR_SUCCESS) {
          ++failures;
        }
        RegCloseKey(key);
      }
      _exit(failures == 0 ? 0 : 1);
    }
  }
  close(start[0]);
  close(start[1]);
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  const std::vector<std::string> names = subkeys(HKEY_CURRENT_USER, "Shared");
  EXPECT_EQ(names.size(), 2u * kKeysPerWriter);
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kKeysPerWriter; ++i) {
      const std::string name = "Shared\\W" + std::to_string(writer) + "-" + std::to_string(i);
      EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, name), name + '\0');
    }
  }
}

}  // namespace
