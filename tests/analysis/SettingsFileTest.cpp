// The settings file: defaults of a first start, the number rules, every key
// surviving a round trip, unknown keys kept, the desktop program's data file
// paths, and writes that never leave a cut or half-replaced file.
#include "analysis/SettingsFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/EKorvanaError.h"
#include "tests/common/TestFiles.h"

namespace korvana {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvana-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(folder_);
  }
  std::string path(const std::string& name = "Korvana.ini") const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

TEST(SettingsInteger, DecimalHexadecimalAndWhatIsNotANumber) {
  EXPECT_EQ(parseSettingsInteger("42"), 42);
  EXPECT_EQ(parseSettingsInteger("-17"), -17);
  EXPECT_EQ(parseSettingsInteger("+5"), 5);
  EXPECT_EQ(parseSettingsInteger("0x1A"), 26);
  EXPECT_EQ(parseSettingsInteger("0XfF"), 255);
  EXPECT_EQ(parseSettingsInteger("$10"), 16);
  EXPECT_EQ(parseSettingsInteger("0xFFFFFFFF"), -1);
  EXPECT_EQ(parseSettingsInteger("2147483647"), 2147483647);
  EXPECT_EQ(parseSettingsInteger("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", " ", "abc", "12abc", "1.5", "0x", "2147483648", "-2147483649", "0x100000000", "1 2"})
    EXPECT_EQ(parseSettingsInteger(bad), std::nullopt) << bad;
}

TEST_F(SettingsFileTest, AMissingFileGivesTheDefaultsOfAFirstStart) {
  SettingsFile settings;
  settings.load(path());
  const AnalysisRequest request = settings.readRequest();
  EXPECT_EQ(request, AnalysisRequest{});
  EXPECT_EQ(request.numberOfPermutations, 100);
  EXPECT_EQ(request.analysisType, AnalysisType::data);
  EXPECT_TRUE(request.firstPermutationIdentity);
  EXPECT_TRUE(request.agglomerationSchedule);
  EXPECT_FALSE(request.dendrogram);
  EXPECT_EQ(request.seed, 4000000);
  EXPECT_EQ(request.intervalMeasurePower, 1);
  EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(SettingsFileTest, ValuesThatDoNotReadTakeTheirDefaults) {
  test::writeFile(path(),
        "[General]\nNumber of Permutations=many\nCluster Method=0x3\nAnalysis Type=7\nRescale=yes\n"
        "Change Sign=-1\nCluster Variables=a::b:\n[Options]\nAgglomeration Schedule=\nSeed=$FF\n");
  SettingsFile settings;
  settings.load(path());
  const AnalysisRequest r = settings.readRequest();
  EXPECT_EQ(r.numberOfPermutations, 100);
  EXPECT_EQ(r.clusterMethod, 3);
  EXPECT_EQ(r.analysisType, AnalysisType::matrixFile);  // any value but 2 means a matrix file
  EXPECT_FALSE(r.rescale);
  EXPECT_TRUE(r.changeSign);
  EXPECT_TRUE(r.agglomerationSchedule);
  EXPECT_EQ(r.seed, 255);
  EXPECT_EQ(r.clusterVariables, (std::vector<std::string>{"a", "", "b"}));
}

// The report lists every value a key cannot take (by its kind and range) and
// every key the program does not know; accepted values report nothing.
TEST_F(SettingsFileTest, TheReportNamesValuesAKeyCannotTakeAndUnknownKeys) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    bool accepted;
  };
  const Case cases[] = {
      {"General", "Number of Permutations", "5x", false},       {"General", "Number of Permutations", "0", false},
      {"General", "Number of Permutations", "2147483647", true}, {"Options", "Seed", "99999999999", false},
      {"Options", "Seed", "-2147483648", true},                 {"General", "Analysis Type", "3", false},
      {"General", "Analysis Type", "1", true},                   {"General", "Cluster View", "0", false},
      {"General", "Rescale", "2", false},                        {"General", "Rescale", "yes", false},
      {"General", "Rescale", "1", true},                         {"General", "Interval Measure Power", "4", false},
      {"General", "Selected Measure", "3", false},               {"General", "Standardise View", "2", false},
      {"Options", "Seed Type", "-1", false},                     {"General", "Cluster Method", "-1", false},
      {"General", "Cluster Method", "99", true},  // a number: its list decides (the request's translation)
      {"General", "Matrix Filename", "any text at all", true},
      {"Options", "Membership Type", "3", false},                {"Options", "Membership Type", "2", true},
      {"Options", "Membership From", "1", false},                {"Options", "Membership To", "40", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    test::writeFile(path(), std::string("[") + c.section + "]\n" + c.key + "=" + c.value + "\nClustr Method=3\n");
    SettingsFile settings;
    settings.load(path());
    SettingsReport report;
    settings.readRequest(&report);
    if (c.accepted) {
      EXPECT_TRUE(report.problems.empty()) << report.problems.front().allowed;
    } else {
      ASSERT_EQ(report.problems.size(), 1u);
      EXPECT_EQ(report.problems[0].key, c.key);
      EXPECT_EQ(report.problems[0].value, c.value);
      EXPECT_FALSE(report.problems[0].allowed.empty());
    }
    ASSERT_EQ(report.unknownKeys.size(), 1u);
    EXPECT_EQ(report.unknownKeys[0].key, "Clustr Method");
  }
}

TEST_F(SettingsFileTest, EveryKeySurvivesARoundTripAndUnknownKeysAreKept) {
  test::writeFile(path(), "[General]\nCluster Method=1\nMy Own Key=keep me\n[Elsewhere]\nx=1\n");
  AnalysisRequest r;
  r.clusterMethod = 6;
  r.numberOfPermutations = 250;
  r.analysisType = AnalysisType::matrixFile;
  r.matrixFilename = "/data/m x.sav";
  r.clusterView = ClusterView::variables;
  r.clusterVariables = {"sepal_length", "Petal.Width"};
  r.labelVariable = "species";
  r.selectedMeasure = 2;
  r.intervalMeasure = 7;
  r.intervalMeasurePower = 3;
  r.intervalMeasureRoot = 0;
  r.countsMeasure = 1;
  r.binaryMeasure = 13;
  r.binaryMeasurePresent = -1;
  r.binaryMeasureAbsent = 9;
  r.absoluteValues = r.changeSign = r.rescale = true;
  r.standardiseMethod = 4;
  r.standardiseView = 0;
  r.firstPermutationIdentity = false;
  r.seedType = SeedType::custom;
  r.seed = -123;
  r.proximityMatrix = r.permutationFit = r.objectOrder = r.dendrogram = r.savePermutationFitTable = true;
  r.agglomerationSchedule = false;
  r.permutationFitTableFilename = "fit.sav";
  r.membershipType = MembershipType::range;
  r.membershipFrom = 3;
  r.membershipTo = 7;
  r.membershipFilename = "with clusters.csv";
  {
    SettingsFile settings;
    settings.load(path());
    settings.writeRequest(r);
    settings.save(path());
  }
  SettingsFile again;
  again.load(path());
  EXPECT_EQ(again.readRequest(), r);
  EXPECT_EQ(again.value("General", "My Own Key"), "keep me");
  EXPECT_EQ(again.value("Elsewhere", "x"), "1");
  const std::string text = test::readFile(path());
  // "key=value" without blanks, with the keys' own spellings.
  for (const char* line : {"Cluster Method=6\n", "Cluster Variables=sepal_length:Petal.Width\n",
                           "Fist Permutation Identity=0\n", "Standardise View=0\n", "Seed=-123\n",
                           "Permutation Fit Table Filename=fit.sav\n", "Membership Type=2\n",
                           "Membership From=3\n", "Membership To=7\n", "Membership Filename=with clusters.csv\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  // Options keys in their section, the fit table's file name back in General.
  EXPECT_LT(text.find("[Options]"), text.find("Seed Type="));
  EXPECT_LT(text.find("[General]"), text.find("Permutation Fit Table Filename="));
  EXPECT_LT(text.find("Permutation Fit Table Filename="), text.find("[Options]"));
}

TEST_F(SettingsFileTest, AFreshFileListsTheKeysInTheirOrder) {
  SettingsFile settings;
  settings.load(path());
  settings.writeRequest(AnalysisRequest{});
  settings.save(path());
  const std::string text = test::readFile(path());
  const char* order[] = {"Cluster Method=", "Number of Permutations=", "Analysis Type=", "Matrix Filename=",
                         "Cluster View=", "Cluster Variables=", "Label Variable=", "Selected Measure=",
                         "Interval Measure=", "Interval Measure Power=", "Interval Measure Root=",
                         "Counts Measure=", "Binary Measure=", "Binary Measure Present=",
                         "Binary Measure Absent=", "Absolute Values=", "Change Sign=", "Rescale=",
                         "Standardise Method=", "Standardise View=", "Permutation Fit Table Filename=",
                         "[Options]", "Fist Permutation Identity=", "Seed Type=", "Seed=", "Proximity Matrix=",
                         "Permutation Fit=", "Object Order=", "Agglomeration Schedule=", "Dendrogram=",
                         "Save Permutation Fit Table="};
  std::size_t at = 0;
  for (const char* key : order) {
    const std::size_t found = text.find(std::string("\n") + key, at == 0 ? 0 : at - 1);
    ASSERT_NE(found, std::string::npos) << key << "\n" << text;
    at = found + 1;
  }
}

// Any path a system allows survives the file: separators, blanks at the ends,
// line breaks, bytes that are not UTF-8; UTF-8 stays readable. korvana-batch
// knows both keys.
TEST_F(SettingsFileTest, RecentAndLastDataFilesSurviveAnyPath) {
  const std::vector<std::string> paths = {"/data/a|b%41.csv", " /lead and trail ", "/x;#=\\\"'",
                                          "/line\nbreak\t.sav", "/caf\xc3\xa9/\xe9\xff.por"};
  SettingsFile settings;
  settings.setRecentDataFiles(paths);
  settings.setLastDataFile(paths[3]);
  settings.save(path());
  SettingsFile again;
  again.load(path());
  EXPECT_EQ(again.recentDataFiles(), paths);
  EXPECT_EQ(again.lastDataFile(), paths[3]);
  EXPECT_EQ(test::readFile(path()),
            "[General]\nRecent Data Files=/data/a%7Cb%2541.csv|%20/lead and trail%20|/x;#=\\\"'|"
            "/line%0Abreak%09.sav|/caf\xc3\xa9/%E9%FF.por\nLast Data File=/line%0Abreak%09.sav\n");
  SettingsReport report;
  again.readRequest(&report);
  EXPECT_TRUE(report.unknownKeys.empty());
  // A "%" that starts no escape stands for itself; older files lack the keys.
  EXPECT_EQ(decodePathList("|/5%z||/x%4"), (std::vector<std::string>{"/5%z", "/x%4"}));
  EXPECT_TRUE(SettingsFile().recentDataFiles().empty());
}

TEST_F(SettingsFileTest, AFolderThatCannotBeWrittenRaisesAndKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  test::writeFile(path(), "[General]\nCluster Method=2\n");
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  SettingsFile settings;
  settings.load(path());
  settings.writeRequest(AnalysisRequest{});
  try {
    settings.save(path());
    FAIL() << "no error";
  } catch (const EKorvanaError& error) {
    EXPECT_NE(std::string(error.what()).find(path()), std::string::npos) << error.what();
  }
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
  EXPECT_EQ(test::readFile(path()), "[General]\nCluster Method=2\n");
}

TEST_F(SettingsFileTest, AMissingFolderRaisesWithTheFileNameAndLeavesNothing) {
  SettingsFile settings;
  settings.writeRequest(AnalysisRequest{});
  const std::string file = (folder_ / "no" / "Korvana.ini").string();
  try {
    settings.save(file);
    FAIL() << "no error";
  } catch (const EKorvanaError& error) {
    EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

TEST_F(SettingsFileTest, ANewFileIsPrivateAndReplacingKeepsThePermissions) {
  {
    SettingsFile fresh;
    fresh.writeRequest(AnalysisRequest{});
    const mode_t saved = ::umask(022);
    fresh.save(path("new.ini"));
    ::umask(saved);
    struct stat info {};
    ASSERT_EQ(::stat(path("new.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
  test::writeFile(path(), "[General]\n");
  ::chmod(path().c_str(), 0640);
  SettingsFile settings;
  settings.load(path());
  settings.writeRequest(AnalysisRequest{});
  settings.save(path());
  struct stat info {};
  ASSERT_EQ(::stat(path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 2) << "no temporary file is left";
}

}  // namespace
}  // namespace korvana
