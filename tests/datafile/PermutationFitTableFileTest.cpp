// The permutation fit table written as a data file and read back by PSPP.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "DataFileTestSupport.h"
#include "analysis/ClusterAnalysis.h"
#include "engine/ClusterMethodFactory.h"
#include "common/EKorvanaError.h"
#include "datafile/PermutationFitTableFile.h"
#include "engine/PermutationRun.h"
#include "tests/engine/CountingProgress.h"

namespace korvana {
namespace {

using test::CountingProgress;

/// A progress window whose stepIt fails on its `failingStep`-th call.
class FailAfter : public CountingProgress {
 public:
  explicit FailAfter(int failingStep) : left_(failingStep) {}
  void stepIt() override {
    if (--left_ == 0) throw std::runtime_error("progress window failed");
  }

 private:
  int left_;
};

std::string hex(const SolutionId& id) {
  std::string text;
  char digits[3];
  for (auto byte : id) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

class PermutationFitTableFile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::psppAvailable()) GTEST_SKIP() << "PSPP (/usr/bin/pspp) is not installed";
    ClusterMethodFactory::createClusterMethods();
  }
  void TearDown() override { ClusterMethodFactory::destroyClusterMethods(); }

  std::unique_ptr<ClusterAnalysis> analysis(int permutations, bool identityFirst, const std::vector<double>& lower,
                                            int n) {
    auto a = std::make_unique<ClusterAnalysis>(*ClusterMethodFactory::getSingleLinkage(), AnalysisType::matrixFile, permutations);
    a->getMatrix().assignLowerTriangle(n, lower);
    a->setFirstPermutationIsIdentity(identityFirst);
    a->setSeed(4000000);
    a->runPermutations();
    return a;
  }

  std::string list(const std::string& file) {
    return test::runPspp(folder_, "GET FILE='" + file + "'.\nDISPLAY FILE LABEL.\nDISPLAY DICTIONARY.\n"
                                  "FORMATS ssdif (E23.16) nssdif cophcorr (F20.16) randseed (F11.0).\nLIST.\n");
  }

  test::TemporaryFolder folder_;
};

TEST_F(PermutationFitTableFile, OpensInPsppWithItsDictionaryAndValues) {
  //      0  1  2
  //  1   1
  //  2   5  5
  //  3   5  5  1
  auto a = analysis(3, true, {1, 5, 5, 5, 5, 1}, 4);
  const std::string file = folder_.path("fit.sav").string();
  a->setFitTableFileName(file);
  a->savePermutationFitTable();
  const std::string text = list(file);

  EXPECT_NE(text.find("Label,Korvana Fit Table\n"), std::string::npos) << text;
  // Name, position, label, level, role, width, alignment, print and write format.
  for (const char* line : {"permu,1,permutation,Scale,Input,8,Right,F8.0,F8.0\n",
                           "sid,2,solution id,Nominal,Input,32,Left,A32,A32\n",
                           "ssdif,3,sum of squared differences,Scale,Input,8,Right,E8.0,E8.0\n",
                           "nssdif,4,normalized sum of squared differences,Scale,Input,8,Right,F8.6,F8.6\n",
                           "cophcorr,5,cophenetic correlation,Scale,Input,8,Right,F8.6,F8.6\n",
                           "randseed,6,random seed,Scale,Input,8,Right,F8.0,F8.0\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  // Case rows: permutation number, id, SSDif, normalized SSDif, correlation and
  // seed; the identity permutation's seed is system-missing (".").
  for (int c = 0; c < 3; ++c) {
    const std::string id = hex(a->getSolutionIds()[static_cast<std::size_t>(c)]);
    const std::string start = std::to_string(c + 1) + "," + id + ",";
    const auto at = text.find("\n" + start);
    ASSERT_NE(at, std::string::npos) << start << "\n" << text;
    const std::string row = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    const std::string seed = c == 0 ? "." : std::to_string(a->getSeeds()[static_cast<std::size_t>(c)]);
    EXPECT_EQ(row.substr(row.rfind(',') + 1), seed) << row;
  }
}

TEST_F(PermutationFitTableFile, StoresTheSsdifRoundedTo13DigitsAndTheSeedWithoutIdentity) {
  auto a = analysis(2, false, {1, 2, 4}, 3);
  const std::string file = folder_.path("fit2.sav").string();
  a->setFitTableFileName(file);
  a->savePermutationFitTable();
  const std::string text = list(file);
  // 0–1: 1, 0–2: 2, 1–2: 4 under single linkage: SSDif = 4 exactly.
  EXPECT_NE(text.find(",4.000000000000000E+000,"), std::string::npos) << text;
  EXPECT_EQ(text.find(",.\n"), std::string::npos) << text;
  EXPECT_NE(text.find(std::to_string(a->getSeeds()[0])), std::string::npos) << text;
}

// Figures that cannot be are not stored: a matrix of zeros has no normalized
// SSDif but an SSDif of 0, and a correlation rounded past ±1 is stored as ±1.
TEST_F(PermutationFitTableFile, StoresAZeroSsdifForZeroProximitiesAndCorrelationsWithinOne) {
  PermutationRecords records;
  records.allocate(2);
  records.completed = 2;
  records.fitValues = {std::numeric_limits<double>::quiet_NaN(), 0.25};
  records.correlations = {1.0000000000003804, -1.0000000000002};
  const std::string file = folder_.path("zero.sav").string();
  SilentProgress progress;
  savePermutationFitTable(file, records, 0.0, true, progress);
  const std::string text = list(file);
  for (const char* row : {"\n1,00000000000000000000000000000000,0.000000000000000E+000,. ", ",1.0000000000000000,.\n",
                          "\n2,00000000000000000000000000000000,0.000000000000000E+000,.2500000000000000,"
                          "-1.0000000000000000,0\n"})
    EXPECT_NE(text.find(row), std::string::npos) << row << "\n" << text;
}

TEST_F(PermutationFitTableFile, CancelingLeavesNoPartialTableAndKeepsTheOldFile) {
  auto a = analysis(6, true, {1, 5, 5, 5, 5, 1}, 4);
  CountingProgress progress(2);
  a->setProgressMonitor(&progress);
  const auto file = folder_.path("canceled.sav");
  test::writeFile(file, "the user's earlier file");
  a->setFitTableFileName(file.string());
  a->savePermutationFitTable();
  EXPECT_EQ(test::readFile(file), "the user's earlier file");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path("")), {}), 1);
}

TEST_F(PermutationFitTableFile, AnErrorWhileWritingLeavesNoPartialTableAndKeepsTheOldFile) {
  auto a = analysis(6, true, {1, 5, 5, 5, 5, 1}, 4);
  const auto file = folder_.path("fit.sav");
  test::writeFile(file, "the user's earlier file");
  FailAfter progress(3);
  a->setProgressMonitor(&progress);
  a->setFitTableFileName(file.string());
  try {
    a->savePermutationFitTable();
    FAIL() << "no error";
  } catch (const EKorvanaError& error) {
    EXPECT_STREQ(error.what(), "progress window failed");
  }
  EXPECT_EQ(test::readFile(file), "the user's earlier file");
  // Nothing else is left in the folder (no temporary file).
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path("")), {}), 1);
}

TEST_F(PermutationFitTableFile, AFileThatCannotBeCreatedRaisesTheLibraryMessage) {
  auto a = analysis(1, true, {1, 2, 4}, 3);
  a->setFitTableFileName(folder_.path("no-such-folder/fit.sav").string());
  try {
    a->savePermutationFitTable();
    FAIL() << "no error";
  } catch (const EKorvanaError& error) {
    EXPECT_STREQ(error.what(), "Error opening file");
  }
  EXPECT_FALSE(std::filesystem::exists(folder_.path("no-such-folder")));
}

}  // namespace
}  // namespace korvana
