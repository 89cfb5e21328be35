#include "engine/ClusterAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/KorvanaError.h"
#include "engine/RandomPermutationGenerator.h"

namespace korvana {
namespace {

using ClusterMethodFactory::getSingleLinkage;

/// Records what the run reports and cancels after a given number of status
/// updates.
class RecordingProgress : public ProgressMonitor {
 public:
  explicit RecordingProgress(int cancelAfter = -1) : cancelAfter_(cancelAfter) {}
  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string& text) override { statuses.push_back(text); }
  void stepIt() override { ++steps; }
  bool isCanceled() override { return cancelAfter_ >= 0 && steps >= cancelAfter_; }
  void showProgress() override {}
  void hideProgress() override {}
  std::vector<std::string> statuses;
  int steps = 0;

 private:
  int cancelAfter_;
};

std::vector<double> randomLower(std::mt19937& random, int n, unsigned levels) {
  std::vector<double> lower(static_cast<std::size_t>(n * (n - 1) / 2));
  for (double& v : lower) v = static_cast<double>(random() % levels);
  return lower;
}

TEST(ClusterAnalysis, IdentityFirstThenTheStartSeed) {
  test::MethodsFixture methods;
  ClusterAnalysis analysis(*getSingleLinkage(), 1, 3);
  analysis.getMatrix().assignLowerTriangle(5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  analysis.setSeed(4000000);
  analysis.runPermutations();
  EXPECT_EQ(analysis.getSeeds()[0], 0);
  EXPECT_EQ(analysis.getSeeds()[1], 4000000);
  RandomPermutationGenerator generator(4000000, 5);
  generator.nextPermutation(false);
  EXPECT_EQ(analysis.getSeeds()[2], generator.getState());

  ClusterAnalysis noIdentity(*getSingleLinkage(), 1, 1);
  noIdentity.getMatrix().assignLowerTriangle(5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  noIdentity.setSeed(4000000);
  noIdentity.setFirstPermutationIsIdentity(false);
  noIdentity.runPermutations();
  EXPECT_EQ(noIdentity.getSeeds()[0], 4000000);
  ASSERT_EQ(noIdentity.getSolutions().size(), 1u);
  EXPECT_EQ(noIdentity.getSolutions()[0]->getPermutation(), (std::vector<int>{3, 1, 4, 0, 2}));
  EXPECT_FALSE(noIdentity.getSolutions()[0]->isIdentityPermutation());
}

TEST(ClusterAnalysis, OnePermutationIsThePlainClusteringInFileOrder) {
  test::MethodsFixture methods;
  std::mt19937 random(11);
  const auto lower = randomLower(random, 9, 3);
  for (ClusterMethod* method : methods.all()) {
    ClusterAnalysis analysis(*method, 1, 1);
    analysis.getMatrix().assignLowerTriangle(9, lower);
    analysis.runPermutations();
    const auto plain = test::cluster(analysis.getMatrix(), *method);
    ASSERT_EQ(analysis.getSolutions().size(), 1u);
    EXPECT_TRUE(analysis.getSolutions()[0]->isSameSolution(*plain)) << method->getName();
    EXPECT_EQ(analysis.getSolutionIds()[0], plain->getSolutionId());
    EXPECT_EQ(analysis.getFitValues()[0], plain->getNormalizedSSDif());
  }
}

TEST(ClusterAnalysis, EqualFitDifferentMergesAreKeptInTheOrderFound) {
  test::MethodsFixture methods;
  // Two equally tight pairs: the order of their merges depends on the order
  // of the objects, the fit does not.
  ClusterAnalysis analysis(*getSingleLinkage(), 1, 30);
  analysis.getMatrix().assignLowerTriangle(4, {1, 5, 5, 5, 5, 1});
  analysis.runPermutations();
  ASSERT_EQ(analysis.getSolutions().size(), 2u);
  const auto& first = *analysis.getSolutions()[0];
  const auto& second = *analysis.getSolutions()[1];
  EXPECT_TRUE(first.isIdentityPermutation());
  EXPECT_FALSE(first.isSameSolution(second));
  EXPECT_EQ(first.getNormalizedSSDif(), second.getNormalizedSSDif());
  // The second kept solution is the first permutation that produced its id.
  for (int c = 0; c < 30; ++c)
    if (analysis.getSolutionIds()[static_cast<std::size_t>(c)] == second.getSolutionId()) {
      EXPECT_EQ(analysis.getSeeds()[static_cast<std::size_t>(c)], second.getSeed());
      break;
    }
}

TEST(ClusterAnalysis, IdenticalMergesUnderEveryPermutationKeepOneSolution) {
  test::MethodsFixture methods;
  std::mt19937 random(5);
  std::vector<double> lower(45);
  std::uniform_real_distribution<double> uniform(0, 1);
  for (double& v : lower) v = uniform(random);
  ClusterAnalysis analysis(*ClusterMethodFactory::getCompleteLinkage(), 1, 40);
  analysis.getMatrix().assignLowerTriangle(10, lower);
  analysis.runPermutations();
  EXPECT_EQ(analysis.getSolutions().size(), 1u);
}

// The kept list is exactly the distinct ids, in order of first appearance,
// among the permutations with the lowest fit; a strictly better permutation
// replaces everything kept before it.
TEST(ClusterAnalysis, KeepsTheDistinctBestSolutions) {
  test::MethodsFixture methods;
  std::mt19937 random(2024);
  bool sawReplacement = false;
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 4 + static_cast<int>(random() % 8);
    const auto lower = randomLower(random, n, 3);
    for (ClusterMethod* method : methods.all()) {
      ClusterAnalysis analysis(*method, 1, 25);
      analysis.getMatrix().assignLowerTriangle(n, lower);
      analysis.setSeed(static_cast<std::int32_t>(random()));
      analysis.runPermutations();
      const auto& fits = analysis.getFitValues();
      double best = fits[0];
      for (double f : fits) best = std::min(best, f);
      std::vector<SolutionId> expected;
      for (std::size_t c = 0; c < fits.size(); ++c)
        if (fits[c] == best &&
            std::find(expected.begin(), expected.end(), analysis.getSolutionIds()[c]) == expected.end())
          expected.push_back(analysis.getSolutionIds()[c]);
      std::vector<SolutionId> kept;
      for (const auto& s : analysis.getSolutions()) {
        kept.push_back(s->getSolutionId());
        EXPECT_EQ(s->getNormalizedSSDif(), best);
      }
      ASSERT_EQ(kept, expected) << method->getName() << " trial " << trial;
      if (fits[0] > best) sawReplacement = true;
    }
  }
  EXPECT_TRUE(sawReplacement) << "no case exercised a strictly better later permutation";
}

TEST(ClusterAnalysis, AllZeroProximitiesKeepOnlyTheLastPermutation) {
  test::MethodsFixture methods;
  ClusterAnalysis analysis(*getSingleLinkage(), 1, 6);
  analysis.getMatrix().assignLowerTriangle(4, {0, 0, 0, 0, 0, 0});
  analysis.runPermutations();
  for (double fit : analysis.getFitValues()) EXPECT_TRUE(std::isnan(fit));
  ASSERT_EQ(analysis.getSolutions().size(), 1u);
  EXPECT_EQ(analysis.getSolutions()[0]->getSeed(), analysis.getSeeds()[5]);
}

TEST(ClusterAnalysis, ReportsProgressAndStopsWhenCanceled) {
  test::MethodsFixture methods;
  RecordingProgress progress(3);
  ClusterAnalysis analysis(*getSingleLinkage(), 1, 10);
  analysis.getMatrix().assignLowerTriangle(3, {1, 2, 3});
  analysis.setProgressMonitor(&progress);
  analysis.runPermutations();
  EXPECT_EQ(analysis.getCompletedPermutations(), 3);
  EXPECT_EQ(progress.steps, 3);
  EXPECT_EQ(progress.statuses, (std::vector<std::string>{"Passed permutations 1/10", "Passed permutations 2/10",
                                                         "Passed permutations 3/10"}));
}

TEST(ClusterAnalysis, RejectsProximitiesOutsideTheSupportedRange) {
  test::MethodsFixture methods;
  ClusterAnalysis analysis(*getSingleLinkage(), 1, 1);
  analysis.getMatrix().assignLowerTriangle(3, {1, 2e50, 3});
  try {
    analysis.runPermutations();
    FAIL() << "no error";
  } catch (const EKorvanaError& error) {
    EXPECT_NE(std::string(error.what()).find("objects 1 and 3"), std::string::npos) << error.what();
  }
  ClusterAnalysis infinite(*getSingleLinkage(), 1, 1);
  infinite.getMatrix().assignLowerTriangle(2, {-HUGE_VAL});
  EXPECT_THROW(infinite.runPermutations(), EKorvanaError);
  EXPECT_THROW(ClusterAnalysis(*getSingleLinkage(), 1, 0), EKorvanaError);
}

// Every schedule is a valid hierarchy: each cluster number is absorbed exactly
// once, only live clusters merge, and the first-appearance and next-stage
// columns link the stages consistently. The same seed reproduces everything.
TEST(ClusterAnalysis, SchedulesAreValidHierarchiesAndReproducible) {
  test::MethodsFixture methods;
  std::mt19937 random(99);
  for (int trial = 0; trial < 6; ++trial) {
    const int n = 2 + static_cast<int>(random() % 30);
    const auto lower = randomLower(random, n, trial % 2 ? 4 : 1000);
    const bool dissimilarity = trial % 3 != 0;
    for (ClusterMethod* method : methods.all()) {
      auto run = [&] {
        auto analysis = std::make_unique<ClusterAnalysis>(*method, 1, 20);
        analysis->getMatrix().setIsDissimilarity(dissimilarity);
        analysis->getMatrix().assignLowerTriangle(n, lower);
        analysis->setSeed(-12345 + trial);
        analysis->runPermutations();
        return analysis;
      };
      const auto analysis = run();
      const auto again = run();
      EXPECT_EQ(analysis->getSolutionIds(), again->getSolutionIds());
      EXPECT_EQ(analysis->getSeeds(), again->getSeeds());
      for (std::size_t c = 0; c < analysis->getFitValues().size(); ++c) {
        const double a = analysis->getFitValues()[c], b = again->getFitValues()[c];
        EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b)));
      }
      for (const auto& s : analysis->getSolutions()) {
        std::vector<bool> alive(static_cast<std::size_t>(n), true);
        std::vector<int> formedAt(static_cast<std::size_t>(n), -1);
        for (int t = 0; t < n - 1; ++t) {
          const int c1 = s->getCluster1(t), c2 = s->getCluster2(t);
          ASSERT_LT(c1, c2);
          ASSERT_TRUE(alive[static_cast<std::size_t>(c1)] && alive[static_cast<std::size_t>(c2)]);
          alive[static_cast<std::size_t>(c2)] = false;
          EXPECT_EQ(s->getFirstAppears1(t), formedAt[static_cast<std::size_t>(c1)]);
          EXPECT_EQ(s->getFirstAppears2(t), formedAt[static_cast<std::size_t>(c2)]);
          for (int f : {s->getFirstAppears1(t), s->getFirstAppears2(t)}) {
            if (f >= 0) {
              EXPECT_EQ(s->getNextStage(f), t);
            }
          }
          formedAt[static_cast<std::size_t>(c1)] = t;
          if (t < n - 2) {
            EXPECT_GT(s->getNextStage(t), t);
          }
        }
        if (n > 1) {
          EXPECT_EQ(s->getCluster1(n - 2), 0);
          EXPECT_EQ(s->getNextStage(n - 2), -1);
        }
      }
    }
  }
}

}  // namespace
}  // namespace korvana
