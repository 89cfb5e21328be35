// The version unit: its numbers and texts, the user guide's address and the
// settings file's place.
#include "output/Version.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/common/TestFiles.h"

namespace korvana {
namespace {

using test::ScopedVariable;

TEST(Version, NumbersAndNames) {
  EXPECT_EQ(Version::getVersionMajor(), 1);
  EXPECT_EQ(Version::getVersionMinor(), 0);
  EXPECT_EQ(Version::getVersionBuild(), 39);
  EXPECT_EQ(Version::getVersionText(), "1.0");
  EXPECT_EQ(Version::getMutexName(), "Korvana");
  EXPECT_EQ(Version::getGlobalMutexName(), "Global\\Korvana");
  // The about box's lines as they are composed from the accessors.
  EXPECT_EQ("Korvana " + Version::getVersionText(), "Korvana 1.0");
  EXPECT_EQ(std::to_string(Version::getVersionMajor()) + "." + std::to_string(Version::getVersionMinor()) +
                " (Build " + std::to_string(Version::getVersionBuild()) + ")",
            "1.0 (Build 39)");
  EXPECT_EQ(Version::getLegalNotice(), "Copyright (c) the Korvana developers");
  EXPECT_EQ(Version::getWebsiteAddress(), "Korvana project");
}

TEST(Version, TheUserGuideIsAFileAddressInTheProgramsFolder) {
  const std::string folder = Version::getProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_EQ(folder.back(), '/');
  // This test program lives in the build tree's tests/output folder.
  EXPECT_NE(folder.find("/tests/output/"), std::string::npos) << folder;
  const std::string url = Version::getUserGuideUrl();
  EXPECT_EQ(url, "file://" + folder + "Korvana 1.0 User's Guide.pdf");
  EXPECT_EQ(url.rfind("file:///", 0), 0u);
  EXPECT_EQ(url.find("%20"), std::string::npos);  // blanks are not escaped
}

TEST(Version, AMissingApplicationDataFolderIsMadeForTheUserAlone) {
  char pattern[] = "/tmp/korvana-version-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string base = pattern;
  {
    ScopedVariable config("XDG_CONFIG_HOME", (base + "/fresh/config").c_str());
    Version::createSettingsFolder();
    Version::createSettingsFolder();  // an existing folder is no error
  }
  struct stat made {};
  ASSERT_EQ(::stat((base + "/fresh/config").c_str(), &made), 0);
  EXPECT_TRUE(S_ISDIR(made.st_mode));
  EXPECT_EQ(made.st_mode & 0777, 0700u);
  std::filesystem::remove_all(base);
}

TEST(Version, TheSettingsFileLivesInTheUsersApplicationDataFolder) {
  {
    ScopedVariable config("XDG_CONFIG_HOME", "/home/someone/.cfg");
    ScopedVariable home("HOME", "/home/someone");
    EXPECT_EQ(Version::getSettingsFilePath(), "/home/someone/.cfg/Korvana.ini");
  }
  {
    // A relative XDG_CONFIG_HOME is not a folder to trust.
    ScopedVariable config("XDG_CONFIG_HOME", "relative");
    ScopedVariable home("HOME", "/home/someone");
    EXPECT_EQ(Version::getSettingsFilePath(), "/home/someone/.config/Korvana.ini");
  }
  {
    ScopedVariable config("XDG_CONFIG_HOME", nullptr);
    ScopedVariable home("HOME", nullptr);
    EXPECT_EQ(Version::getSettingsFilePath(), Version::getProgramFolder() + "Korvana.ini");
  }
}

}  // namespace
}  // namespace korvana
