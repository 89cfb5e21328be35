// Reserved temporary files: where they go, who may read them, and that a name
// someone else already holds (a file or a planted link) is never taken over.
#include "platform/host/TemporaryFiles.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>

#include "tests/common/TestFiles.h"

namespace korvana::host {
namespace {

using test::ScopedVariable;

class TemporaryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvana-tmptest-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(TemporaryFiles, TheFolderComesFromTmpdirThenTmpThenIsTmp) {
  {
    ScopedVariable tmpdir("TMPDIR", "/a"), tmp("TMP", "/b");
    EXPECT_EQ(temporaryFolder(), "/a");
  }
  {
    ScopedVariable tmpdir("TMPDIR", ""), tmp("TMP", "/b");
    EXPECT_EQ(temporaryFolder(), "/b");
  }
  {
    ScopedVariable tmpdir("TMPDIR", std::nullopt), tmp("TMP", std::nullopt);
    EXPECT_EQ(temporaryFolder(), "/tmp");
  }
}

TEST_F(TemporaryFiles, ReservesNewOwnerOnlyFilesWithThePrefix) {
  ScopedVariable tmpdir("TMPDIR", folder_.string() + "/"), tmp("TMP", std::nullopt);
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    const std::string name = reserveTemporaryFile("kvana");
    ASSERT_FALSE(name.empty());
    const std::filesystem::path path(name);
    EXPECT_EQ(path.parent_path(), folder_);
    EXPECT_EQ(path.filename().string().rfind("kvana", 0), 0u) << name;
    struct stat info {};
    ASSERT_EQ(::lstat(name.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u) << std::oct << (info.st_mode & 0777);
    EXPECT_EQ(info.st_size, 0);
    EXPECT_EQ(info.st_uid, ::getuid());
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 20u);
}

TEST_F(TemporaryFiles, NeverTakesOverAnExistingNameOrALink) {
  ScopedVariable tmpdir("TMPDIR", folder_.string()), tmp("TMP", std::nullopt);
  // A victim's file, and links planted under many names a predictable scheme
  // would use: none may be followed or reused.
  const auto victim = folder_ / "victim.txt";
  std::ofstream(victim) << "precious";
  for (int i = 0; i < 50; ++i)
    std::filesystem::create_symlink(victim, folder_ / ("kvana" + std::to_string(i)));
  for (int i = 0; i < 50; ++i) {
    const std::string name = reserveTemporaryFile("kvana");
    ASSERT_FALSE(name.empty());
    EXPECT_FALSE(std::filesystem::is_symlink(name)) << name;
    std::ofstream(name) << "matrix";
  }
  std::ifstream in(victim);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "precious");
}

TEST_F(TemporaryFiles, AFolderThatCannotBeWrittenGivesNoName) {
  ScopedVariable tmpdir("TMPDIR", (folder_ / "missing").string()), tmp("TMP", std::nullopt);
  EXPECT_EQ(reserveTemporaryFile("kvana"), "");
}

}  // namespace
}  // namespace korvana::host
