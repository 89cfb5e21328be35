// A request turned into an analysis: the chosen instances get this run's
// settings, list positions out of range fall back to the default entries,
// the variables are found by name and kind, and what the dialog would refuse
// is refused with a clear message.
#include "analysis/RequestTranslation.h"

#include <gtest/gtest.h>

#include "SPSS/AutomationText.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "common/EKorvanaError.h"
#include "proximity/BinaryMeasureFactory.h"
#include "proximity/CountsMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana {
namespace {

class RequestTranslation : public ::testing::Test {
 protected:
  void SetUp() override {
    ClusterMethodFactory::createClusterMethods();
    IntervalMeasureFactory::createIntervalMeasures();
    CountsMeasureFactory::createCountsMeasures();
    BinaryMeasureFactory::createBinaryMeasures();
    StandardizeMethodFactory::createStandardizeMethods();
    request_.clusterVariables = {"x", "y"};
    request_.matrixFilename = "/tmp/m.sav";
  }
  void TearDown() override {
    StandardizeMethodFactory::destroyStandardizeMethods();
    BinaryMeasureFactory::destroyBinaryMeasures();
    CountsMeasureFactory::destroyCountsMeasures();
    IntervalMeasureFactory::destroyIntervalMeasures();
    ClusterMethodFactory::destroyClusterMethods();
  }
  std::unique_ptr<ClusterAnalysis> make(std::time_t now = 1700000000) {
    RequestProblems problems;
    chosen_ = chooseVariables(request_, dictionary_, problems);
    checkRequest(request_, chosen_);
    return makeAnalysis(request_, chosen_, {}, now);
  }
  std::string command(const ClusterAnalysis& analysis) {
    return automation::utf8Text(analysis.buildProximitiesCommand());
  }

  std::vector<Variable> dictionary_{{0, "x", "", 0}, {1, "y", "Why", 0}, {2, "name", "", 12}, {3, "z", "", 0},
                                    {4, "Name", "", 0}};
  AnalysisRequest request_;
  ChosenVariables chosen_;
};

TEST_F(RequestTranslation, TheDefaultsGiveEuclideanDistanceOnCasesWithTheClockAsSeed) {
  auto analysis = make(1234567);
  EXPECT_EQ(&analysis->getMethod(), ClusterMethodFactory::getClusterMethods()[0]);
  EXPECT_EQ(analysis->getAnalysisType(), AnalysisType::data);
  EXPECT_EQ(analysis->getPermutationCount(), 100);
  EXPECT_EQ(analysis->getSeed(), 1234567);
  EXPECT_TRUE(analysis->getFirstPermutationIsIdentity());
  EXPECT_TRUE(analysis->getShowAgglomerationSchedule());
  EXPECT_FALSE(analysis->getShowDendrogram());
  EXPECT_FALSE(analysis->getSaveFitTable());
  analysis->setMatrixFileName("/tmp/k");
  EXPECT_EQ(command(*analysis),
            "PROXIMITIES x,y /VIEW=CASE /STANDARDIZE=VARIABLE NONE /MEASURE=EUCLID /PRINT=NONE /MATRIX=OUT('/tmp/k').");
}

TEST_F(RequestTranslation, EveryChoiceReachesTheCommandAndTheAnalysis) {
  request_.clusterMethod = 6;
  request_.intervalMeasure = 7;  // customized: power and root
  request_.intervalMeasurePower = 2;
  request_.intervalMeasureRoot = 0;
  request_.absoluteValues = true;
  request_.rescale = true;
  request_.standardiseMethod = 1;
  request_.standardiseView = 0;
  request_.labelVariable = "name";
  request_.proximityMatrix = true;
  request_.seedType = SeedType::custom;
  request_.seed = -5;
  request_.firstPermutationIdentity = false;
  request_.savePermutationFitTable = true;
  request_.permutationFitTableFilename = "/home/u/fit";
  auto analysis = make();
  EXPECT_EQ(&analysis->getMethod(), ClusterMethodFactory::getWard());
  EXPECT_EQ(analysis->getSeed(), -5);
  EXPECT_FALSE(analysis->getFirstPermutationIsIdentity());
  EXPECT_EQ(analysis->getFitTableFileName(), "/home/u/fit.sav");
  analysis->setMatrixFileName("/tmp/k");
  EXPECT_EQ(command(*analysis),
            "PROXIMITIES x,y /VIEW=CASE /STANDARDIZE=CASE Z /MEASURE=POWER(3,1) ABSOLUTE RESCALE /ID=name "
            "/PRINT=PROXIMITIES /MATRIX=OUT('/tmp/k').");

  // The next request on the same shared instances replaces these settings.
  request_ = AnalysisRequest{};
  request_.clusterVariables = {"x", "y"};
  request_.clusterView = ClusterView::variables;
  request_.labelVariable = "name";  // not used for variables
  request_.selectedMeasure = 2;
  request_.binaryMeasure = 13;
  request_.binaryMeasurePresent = -1;
  request_.binaryMeasureAbsent = 9;
  auto second = make();
  second->setMatrixFileName("/tmp/k");
  EXPECT_EQ(command(*second), "PROXIMITIES x,y /VIEW=VARIABLE /MEASURE=JACCARD(-1,9) /PRINT=NONE /MATRIX=OUT('/tmp/k').");
}

TEST_F(RequestTranslation, PositionsOutsideTheirListsTakeTheDefaultEntries) {
  request_.clusterMethod = 99;
  request_.intervalMeasure = -3;
  request_.intervalMeasurePower = 7;
  request_.standardiseMethod = 42;
  auto analysis = make();
  EXPECT_EQ(&analysis->getMethod(), ClusterMethodFactory::getClusterMethods()[0]);
  analysis->setMatrixFileName("/tmp/k");
  EXPECT_EQ(command(*analysis),
            "PROXIMITIES x,y /VIEW=CASE /STANDARDIZE=VARIABLE NONE /MEASURE=EUCLID /PRINT=NONE /MATRIX=OUT('/tmp/k').");
}

TEST_F(RequestTranslation, VariablesAreFoundByExactNameAndKind) {
  request_.clusterVariables = {"x", "name", "Z", "Name", "z", "gone"};
  request_.labelVariable = "x";
  RequestProblems problems;
  const ChosenVariables chosen = chooseVariables(request_, dictionary_, problems);
  ASSERT_EQ(chosen.clusterVariables.size(), 3u);
  EXPECT_EQ(chosen.clusterVariables[0]->getName(), "x");
  EXPECT_EQ(chosen.clusterVariables[1]->getName(), "Name");  // the numeric one
  EXPECT_EQ(chosen.clusterVariables[2]->getName(), "z");
  EXPECT_EQ(problems.unknownClusterVariables, (std::vector<std::string>{"name", "Z", "gone"}));
  EXPECT_EQ(chosen.labelVariable, nullptr);  // x is numeric
  EXPECT_EQ(problems.unknownLabelVariable, "x");
}

TEST_F(RequestTranslation, WhatTheDialogWouldRefuseIsRefused) {
  const auto refused = [&](const char* expected) {
    try {
      make();
      ADD_FAILURE() << "accepted; expected: " << expected;
    } catch (const EKorvanaError& error) {
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
  };
  request_.numberOfPermutations = 0;
  refused("at least 1");
  request_.numberOfPermutations = 10;
  request_.clusterVariables = {"x"};
  refused("two numeric cluster variables");
  request_.analysisType = AnalysisType::matrixFile;
  request_.matrixFilename = "  ";
  refused("No proximity matrix file");
  request_.matrixFilename = "m.sav";
  request_.savePermutationFitTable = true;
  refused("permutation fit table");
  request_.permutationFitTableFilename = "my.tables/fit";  // a full stop anywhere: unchanged
  auto analysis = make();
  EXPECT_EQ(analysis->getAnalysisType(), AnalysisType::matrixFile);
  EXPECT_EQ(analysis->getMatrixFileName(), "m.sav");
  EXPECT_EQ(analysis->getFitTableFileName(), "my.tables/fit");
  // Cluster membership: from 2, never backwards, and saved only with a number of clusters.
  request_.membershipFilename = "members";
  refused("no number of clusters");
  request_.membershipType = MembershipType::single;
  request_.membershipFrom = 1;
  refused("at least 2, not 1");
  request_.membershipType = MembershipType::range;
  request_.membershipFrom = 4;
  request_.membershipTo = 3;
  refused("from 4 to 3");
  request_.membershipType = MembershipType::single;
  request_.membershipFrom = 5;
  analysis = make();
  EXPECT_EQ(analysis->getMembershipFrom(), 5);
  EXPECT_EQ(analysis->getMembershipTo(), 5);
  EXPECT_EQ(analysis->getMembershipFileName(), "members.sav");
}

}  // namespace
}  // namespace korvana
