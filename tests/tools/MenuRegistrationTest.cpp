// RegisterKorvana and UnregisterKorvana run as separate processes from the
// build tree, on a registry folder of their own seeded through the registry
// calls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "platform/host/Registry.h"

extern char** environ;

namespace {

using namespace korvana::host;
using namespace korvana::host::testing;
using Lines = std::vector<std::string>;

const std::string kRegister = REGISTER_KORVANA_PATH;
const std::string kUnregister = UNREGISTER_KORVANA_PATH;
const std::string kApp = "{3B279913-0A9B-4A22-AE2C-6FF99E2AE53E}";
const std::string kProduct = "SPSS for Windows";
const std::string kCurrentUser = "HKEY_CURRENT_USER\\Software\\SPSS";
const std::string kDefaultUser = "HKEY_USERS\\.DEFAULT\\Software\\SPSS";

std::string launchValue(const std::string& registerPath) {
  std::string launch = "\"";
  launch.append(registerPath, 0, registerPath.rfind('/'));
  launch += "/korvana\"";
  return launch;
}

// The listing lines of one registered entry below packageKey.
Lines entryLines(const std::string& packageKey, const std::string& product, const std::string& version,
                 const std::string& launch = launchValue(kRegister)) {
  const std::string app = packageKey + "\\" + product + "\\" + version + "\\OtherApps\\" + kApp;
  return {app, app + "\\ActionID = 0\\0", app + "\\Launch = " + launch + "\\0",
          app + "\\Menu = Analyze>Classify>&Korvana...\\0", app + "\\MenuType = 0,2,3,4\\0"};
}

Lines concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Listing lines of root\path and every key above it below the root.
Lines pathLines(const std::string& root, const std::string& path) {
  Lines lines;
  std::string key = root;
  std::istringstream names(path);
  for (std::string name; std::getline(names, name, '\\');) lines.push_back(key += "\\" + name);
  return lines;
}

class MenuRegistration : public ::testing::Test {
 protected:
  // Runs a tool with arguments and checks it printed nothing; gives its exit code.
  int run(const std::string& tool, const std::vector<std::string>& arguments = {}) {
    const std::string outputPath = registry.base() + "/output.txt";
    std::vector<std::string> words{tool};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0) << tool;
    if (spawned != 0) return -1;
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    std::ifstream output(outputPath);
    const std::string printed((std::istreambuf_iterator<char>(output)), std::istreambuf_iterator<char>());
    EXPECT_EQ(printed, "") << tool << " must not write to the console";
    EXPECT_TRUE(WIFEXITED(status)) << tool << " ended with status " << status;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void seedVersions(const std::string& product, const Lines& versions) {
    for (const std::string& version : versions) {
      createKey(HKEY_LOCAL_MACHINE, "Software\\SPSS\\" + product + "\\" + version);
    }
  }

  TemporaryRegistry registry;
};

TEST_F(MenuRegistration, WithoutThePackageKeyNothingIsWrittenOrDeleted) {
  EXPECT_EQ(run(kRegister), 0);
  EXPECT_EQ(run(kUnregister), 0);
  EXPECT_EQ(registry.fileText(), "<absent>");

  // Versions under the current user alone do not count, and an entry there stays.
  createKey(HKEY_LOCAL_MACHINE, "Software\\Other\\" + kProduct + "\\12.0");
  createKey(HKEY_CURRENT_USER, "Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps\\" + kApp + "\\Menu");
  const std::string before = registry.fileText();
  EXPECT_EQ(run(kRegister), 0);
  EXPECT_EQ(run(kUnregister), 0);
  EXPECT_EQ(registry.fileText(), before);
}

TEST_F(MenuRegistration, WritesBothRootsOnlyWithTheValuesAndTheirTerminatingZero) {
  seedVersions(kProduct, {"12.0"});
  createKey(HKEY_USERS, "S-1-5-21-1001\\Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps");
  ASSERT_EQ(run(kRegister), 0);
  const Lines expected = concat({
      pathLines("HKEY_LOCAL_MACHINE", "Software\\SPSS\\" + kProduct + "\\12.0"),
      pathLines("HKEY_CURRENT_USER", "Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps"),
      entryLines(kCurrentUser, kProduct, "12.0"),
      pathLines("HKEY_USERS", "S-1-5-21-1001\\Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps"),
      pathLines("HKEY_USERS", ".DEFAULT\\Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps"),
      entryLines(kDefaultUser, kProduct, "12.0"),
  });
  EXPECT_EQ(listRegistry(), expected);
}

TEST_F(MenuRegistration, HandlesVersionsFromElevenOnByTheNumberBeforeThePoint) {
  seedVersions(kProduct, {"9.0", "10.0", "11.0", "abc", "11.5", ".5", "12", "10.99", "1e2", " 13", "+14", "-15"});
  const Lines handled{"11.0", "11.5", "12", " 13", "+14"};
  ASSERT_EQ(run(kRegister), 0);
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "Software\\SPSS\\" + kProduct), handled);
  EXPECT_EQ(subkeys(HKEY_USERS, ".DEFAULT\\Software\\SPSS\\" + kProduct), handled);
  for (const std::string& version : handled) {
    const std::string app = kProduct + "\\" + version + "\\OtherApps\\" + kApp;
    EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, "Software\\SPSS\\" + app + "\\MenuType"), std::string("0,2,3,4\0", 8));
    EXPECT_EQ(defaultValue(HKEY_USERS, ".DEFAULT\\Software\\SPSS\\" + app + "\\MenuType"),
              std::string("0,2,3,4\0", 8));
  }
  ASSERT_EQ(run(kUnregister), 0);
  for (const std::string& version : handled) {
    const std::string apps = kProduct + "\\" + version + "\\OtherApps";
    EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "Software\\SPSS\\" + apps), Lines{}) << version;
    EXPECT_EQ(subkeys(HKEY_USERS, ".DEFAULT\\Software\\SPSS\\" + apps), Lines{}) << version;
  }
}

TEST_F(MenuRegistration, ProductKeysMustStartWithThePrefix) {
  seedVersions("Old SPSS for Windows", {"12.0"});
  seedVersions("SPSS for Windows Student", {"12.0"});
  seedVersions("SPSS", {"12.0"});
  seedVersions(kProduct, {"13.0"});
  ASSERT_EQ(run(kRegister), 0);
  const Lines products{"SPSS for Windows Student", kProduct};
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "Software\\SPSS"), products);
  EXPECT_EQ(subkeys(HKEY_USERS, ".DEFAULT\\Software\\SPSS"), products);
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "Software\\SPSS\\SPSS for Windows Student"), Lines{"12.0"});
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, "Software\\SPSS\\" + kProduct), Lines{"13.0"});
}

TEST_F(MenuRegistration, RegisteringTwiceSetsTheSameValuesAgain) {
  seedVersions(kProduct, {"11.0", "12.0"});
  ASSERT_EQ(run(kRegister), 0);
  const Lines once = listRegistry();
  const std::string menu = "Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps\\" + kApp + "\\Menu";
  setDefaultValue(HKEY_CURRENT_USER, menu, "changed since");
  setDefaultValue(HKEY_USERS, ".DEFAULT\\" + menu, "changed since");
  ASSERT_EQ(run(kRegister), 0);
  EXPECT_EQ(listRegistry(), once);
}

TEST_F(MenuRegistration, UnregisterRemovesTheApplicationKeysAndKeepsEverythingElse) {
  seedVersions(kProduct, {"11.0", "12.0"});
  const std::string versionKey = "Software\\SPSS\\" + kProduct + "\\12.0";
  setDefaultValue(HKEY_CURRENT_USER, versionKey + "\\OtherApps\\{OTHER}\\Menu", "Other entry");
  setDefaultValue(HKEY_CURRENT_USER, versionKey + "\\Settings", "kept");
  setDefaultValue(HKEY_USERS, "S-1-5-21-1001\\" + versionKey + "\\OtherApps\\" + kApp + "\\Menu", "other profile");
  ASSERT_EQ(run(kRegister), 0);
  const Lines registered = listRegistry();
  ASSERT_EQ(run(kUnregister), 0);

  Lines expected;
  for (const std::string& line : registered) {
    if (line.find(kApp) == std::string::npos || line.rfind("HKEY_USERS\\S-1-5-21-1001\\", 0) == 0) {
      expected.push_back(line);
    }
  }
  EXPECT_EQ(listRegistry(), expected);
  EXPECT_LT(expected.size(), registered.size());
}

TEST_F(MenuRegistration, AnApplicationKeyWithOtherSubkeysIsLeftButItsEntriesGo) {
  seedVersions(kProduct, {"12.0"});
  ASSERT_EQ(run(kRegister), 0);
  const std::string app = "Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps\\" + kApp;
  createKey(HKEY_CURRENT_USER, app + "\\Extra");
  ASSERT_EQ(run(kUnregister), 0);
  EXPECT_EQ(subkeys(HKEY_CURRENT_USER, app), Lines{"Extra"});
  EXPECT_EQ(subkeys(HKEY_USERS, ".DEFAULT\\Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps"), Lines{});
}

TEST_F(MenuRegistration, UnregisterWithNothingRegisteredChangesNothing) {
  seedVersions(kProduct, {"12.0"});
  createKey(HKEY_CURRENT_USER, "Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps\\{OTHER}");
  const std::string before = registry.fileText();
  EXPECT_EQ(run(kUnregister), 0);
  EXPECT_EQ(registry.fileText(), before);
}

TEST_F(MenuRegistration, AnyArgumentGivesExitCodeOneAndChangesNothing) {
  seedVersions(kProduct, {"12.0"});
  const std::vector<std::vector<std::string>> argumentLists{{"x"}, {""}, {"/?", "more"}};
  std::string before = registry.fileText();
  for (const auto& arguments : argumentLists) {
    EXPECT_EQ(run(kRegister, arguments), 1);
    EXPECT_EQ(registry.fileText(), before);
  }
  ASSERT_EQ(run(kRegister), 0);
  before = registry.fileText();
  ASSERT_NE(before.find(kApp), std::string::npos);
  for (const auto& arguments : argumentLists) {
    EXPECT_EQ(run(kUnregister, arguments), 1);
    EXPECT_EQ(registry.fileText(), before);
  }
}

TEST_F(MenuRegistration, ACorruptRegistryIsLeftAloneSilently) {
  const std::string corrupt = "Korvana registry, format 1\n[HKEY_LOCAL_MACHINE\\Software\\SPSS\n";
  registry.writeFile(corrupt);
  EXPECT_EQ(run(kRegister), 0);
  EXPECT_EQ(run(kUnregister), 0);
  EXPECT_EQ(registry.fileText(), corrupt);
}

// A copy of RegisterKorvana whose full file name is pathLength characters long.
std::string copyRegisterKorvana(const std::string& base, char letter, std::size_t pathLength) {
  const std::string fileName = "/RegisterKorvana";
  std::string folder = base;
  std::size_t remaining = pathLength - fileName.size() - base.size();
  while (remaining > 201) {
    folder.push_back('/');
    folder.append(100, letter);
    remaining -= 101;
  }
  folder.push_back('/');
  folder.append(remaining - 1, letter);
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(kRegister, folder + fileName);
  return folder + fileName;
}

TEST_F(MenuRegistration, LaunchNamesTheFolderOfAFileNameThatFitsTheBuffer) {
  ASSERT_LT(registry.base().size(), 200u) << "the temporary folder's name leaves no room for the test";
  seedVersions(kProduct, {"12.0"});
  const std::string fits = copyRegisterKorvana(registry.base(), 'a', 259);
  ASSERT_EQ(fits.size(), 259u);
  const std::string tooLong = copyRegisterKorvana(registry.base(), 'b', 260);
  ASSERT_EQ(tooLong.size(), 260u);

  const std::string before = registry.fileText();
  EXPECT_EQ(run(tooLong), 0);
  EXPECT_EQ(registry.fileText(), before);

  ASSERT_EQ(run(fits), 0);
  const std::string launch = "Software\\SPSS\\" + kProduct + "\\12.0\\OtherApps\\" + kApp + "\\Launch";
  EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, launch), launchValue(fits) + '\0');
  EXPECT_EQ(defaultValue(HKEY_USERS, ".DEFAULT\\" + launch), launchValue(fits) + '\0');
}

}  // namespace
