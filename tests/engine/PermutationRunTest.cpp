#include "engine/PermutationRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "CountingProgress.h"
#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "common/EKorvanaError.h"
#include "engine/ProximityMatrix.h"
#include "engine/RandomPermutationGenerator.h"

namespace korvana {
namespace {

using test::CountingProgress;

using ClusterMethodFactory::getSingleLinkage;
using test::CountingProgress;

/// A matrix and the settings of one permutation run, and its results.
struct PermutationCase {
  PermutationCase(ClusterMethod& chosen, int permutations) : method(chosen) { settings.permutationCount = permutations; }
  void go(ProgressMonitor& progress) { results = runPermutations(matrix, method, settings, progress); }
  void go() {
    SilentProgress silent;
    go(silent);
  }
  ClusterMethod& method;
  ProximityMatrix matrix;
  PermutationSettings settings;
  PermutationResults results;
};

std::vector<double> randomLower(std::mt19937& random, int n, unsigned levels) {
  std::vector<double> lower(static_cast<std::size_t>(n * (n - 1) / 2));
  for (double& v : lower) v = static_cast<double>(random() % levels);
  return lower;
}

TEST(PermutationRun, IdentityFirstThenTheStartSeed) {
  test::MethodsFixture methods;
  PermutationCase analysis(*getSingleLinkage(), 3);
  analysis.matrix.assignLowerTriangle(5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  analysis.settings.seed = 4000000;
  analysis.go();
  EXPECT_EQ(analysis.results.records.seeds[0], 0);
  EXPECT_EQ(analysis.results.records.seeds[1], 4000000);
  RandomPermutationGenerator generator(4000000, 5);
  generator.nextPermutation(false);
  EXPECT_EQ(analysis.results.records.seeds[2], generator.getState());

  PermutationCase noIdentity(*getSingleLinkage(), 1);
  noIdentity.matrix.assignLowerTriangle(5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  noIdentity.settings.seed = 4000000;
  noIdentity.settings.firstPermutationIsIdentity = false;
  noIdentity.go();
  EXPECT_EQ(noIdentity.results.records.seeds[0], 4000000);
  ASSERT_EQ(noIdentity.results.solutions.size(), 1u);
  EXPECT_EQ(noIdentity.results.solutions[0]->getPermutation(), (std::vector<int>{3, 1, 4, 0, 2}));
  EXPECT_FALSE(noIdentity.results.solutions[0]->isIdentityPermutation());
}

TEST(PermutationRun, OnePermutationIsThePlainClusteringInFileOrder) {
  test::MethodsFixture methods;
  std::mt19937 random(11);
  const auto lower = randomLower(random, 9, 3);
  for (ClusterMethod* method : methods.all()) {
    PermutationCase analysis(*method, 1);
    analysis.matrix.assignLowerTriangle(9, lower);
    analysis.go();
    const auto plain = test::cluster(analysis.matrix, *method);
    ASSERT_EQ(analysis.results.solutions.size(), 1u);
    EXPECT_TRUE(analysis.results.solutions[0]->isSameSolution(*plain)) << method->getName();
    EXPECT_EQ(analysis.results.records.solutionIds[0], plain->getSolutionId());
    EXPECT_EQ(analysis.results.records.fitValues[0], plain->getNormalizedSSDif());
  }
}

TEST(PermutationRun, EqualFitDifferentMergesAreKeptInTheOrderFound) {
  test::MethodsFixture methods;
  // Two equally tight pairs: the order of their merges depends on the order
  // of the objects, the fit does not.
  PermutationCase analysis(*getSingleLinkage(), 30);
  analysis.matrix.assignLowerTriangle(4, {1, 5, 5, 5, 5, 1});
  analysis.go();
  ASSERT_EQ(analysis.results.solutions.size(), 2u);
  const auto& first = *analysis.results.solutions[0];
  const auto& second = *analysis.results.solutions[1];
  EXPECT_TRUE(first.isIdentityPermutation());
  EXPECT_FALSE(first.isSameSolution(second));
  EXPECT_EQ(first.getNormalizedSSDif(), second.getNormalizedSSDif());
  // The second kept solution is the first permutation that produced its id.
  for (int c = 0; c < 30; ++c)
    if (analysis.results.records.solutionIds[static_cast<std::size_t>(c)] == second.getSolutionId()) {
      EXPECT_EQ(analysis.results.records.seeds[static_cast<std::size_t>(c)], second.getSeed());
      break;
    }
}

TEST(PermutationRun, IdenticalMergesUnderEveryPermutationKeepOneSolution) {
  test::MethodsFixture methods;
  std::mt19937 random(5);
  std::vector<double> lower(45);
  std::uniform_real_distribution<double> uniform(0, 1);
  for (double& v : lower) v = uniform(random);
  PermutationCase analysis(*ClusterMethodFactory::getCompleteLinkage(), 40);
  analysis.matrix.assignLowerTriangle(10, lower);
  analysis.go();
  EXPECT_EQ(analysis.results.solutions.size(), 1u);
}

// The kept list is exactly the distinct ids, in order of first appearance,
// among the permutations with the lowest fit; a strictly better permutation
// replaces everything kept before it.
TEST(PermutationRun, KeepsTheDistinctBestSolutions) {
  test::MethodsFixture methods;
  std::mt19937 random(2024);
  bool sawReplacement = false;
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 4 + static_cast<int>(random() % 8);
    const auto lower = randomLower(random, n, 3);
    for (ClusterMethod* method : methods.all()) {
      PermutationCase analysis(*method, 25);
      analysis.matrix.assignLowerTriangle(n, lower);
      analysis.settings.seed = static_cast<std::int32_t>(random());
      analysis.go();
      const auto& fits = analysis.results.records.fitValues;
      double best = fits[0];
      for (double f : fits) best = std::min(best, f);
      std::vector<SolutionId> expected;
      for (std::size_t c = 0; c < fits.size(); ++c)
        if (fits[c] == best &&
            std::find(expected.begin(), expected.end(), analysis.results.records.solutionIds[c]) == expected.end())
          expected.push_back(analysis.results.records.solutionIds[c]);
      std::vector<SolutionId> kept;
      for (const auto& s : analysis.results.solutions) {
        kept.push_back(s->getSolutionId());
        EXPECT_EQ(s->getNormalizedSSDif(), best);
      }
      ASSERT_EQ(kept, expected) << method->getName() << " trial " << trial;
      if (fits[0] > best) sawReplacement = true;
    }
  }
  EXPECT_TRUE(sawReplacement) << "no case exercised a strictly better later permutation";
}

TEST(PermutationRun, AllZeroProximitiesKeepOnlyTheLastPermutation) {
  test::MethodsFixture methods;
  PermutationCase analysis(*getSingleLinkage(), 6);
  analysis.matrix.assignLowerTriangle(4, {0, 0, 0, 0, 0, 0});
  analysis.go();
  for (double fit : analysis.results.records.fitValues) EXPECT_TRUE(std::isnan(fit));
  ASSERT_EQ(analysis.results.solutions.size(), 1u);
  EXPECT_EQ(analysis.results.solutions[0]->getSeed(), analysis.results.records.seeds[5]);
}

TEST(PermutationRun, ReportsProgressAndStopsWhenCanceled) {
  test::MethodsFixture methods;
  CountingProgress progress(3);
  PermutationCase analysis(*getSingleLinkage(), 10);
  analysis.matrix.assignLowerTriangle(3, {1, 2, 3});
  analysis.go(progress);
  EXPECT_EQ(analysis.results.records.completed, 3);
  EXPECT_EQ(progress.steps, 3);
  EXPECT_EQ(progress.statuses, (std::vector<std::string>{"Passed permutations 1/10", "Passed permutations 2/10",
                                                         "Passed permutations 3/10"}));
}

TEST(PermutationRun, RejectsProximitiesOutsideTheSupportedRange) {
  test::MethodsFixture methods;
  PermutationCase analysis(*getSingleLinkage(), 1);
  analysis.matrix.assignLowerTriangle(3, {1, 2e50, 3});
  try {
    analysis.go();
    FAIL() << "no error";
  } catch (const EKorvanaError& error) {
    EXPECT_NE(std::string(error.what()).find("objects 1 and 3"), std::string::npos) << error.what();
  }
  PermutationCase infinite(*getSingleLinkage(), 1);
  infinite.matrix.assignLowerTriangle(2, {-HUGE_VAL});
  EXPECT_THROW(infinite.go(), EKorvanaError);
}

// Every schedule is a valid hierarchy: each cluster number is absorbed exactly
// once, only live clusters merge, and the first-appearance and next-stage
// columns link the stages consistently. The same seed reproduces everything.
TEST(PermutationRun, SchedulesAreValidHierarchiesAndReproducible) {
  test::MethodsFixture methods;
  std::mt19937 random(99);
  for (int trial = 0; trial < 6; ++trial) {
    const int n = 2 + static_cast<int>(random() % 30);
    const auto lower = randomLower(random, n, trial % 2 ? 4 : 1000);
    const bool dissimilarity = trial % 3 != 0;
    for (ClusterMethod* method : methods.all()) {
      auto run = [&] {
        auto analysis = std::make_unique<PermutationCase>(*method, 20);
        analysis->matrix.setIsDissimilarity(dissimilarity);
        analysis->matrix.assignLowerTriangle(n, lower);
        analysis->settings.seed = -12345 + trial;
        analysis->go();
        return analysis;
      };
      const auto analysis = run();
      const auto again = run();
      EXPECT_EQ(analysis->results.records.solutionIds, again->results.records.solutionIds);
      EXPECT_EQ(analysis->results.records.seeds, again->results.records.seeds);
      for (std::size_t c = 0; c < analysis->results.records.fitValues.size(); ++c) {
        const double a = analysis->results.records.fitValues[c], b = again->results.records.fitValues[c];
        EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b)));
      }
      for (const auto& s : analysis->results.solutions) {
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

namespace korvana {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

/// Everything a run decides, for comparing runs with different job counts.
void expectSameRun(const PermutationResults& expected, const PermutationResults& actual, const std::string& what) {
  const PermutationRecords& e = expected.records;
  const PermutationRecords& a = actual.records;
  ASSERT_EQ(a.completed, e.completed) << what;
  for (std::size_t k = 0; k < static_cast<std::size_t>(e.completed); ++k) {
    ASSERT_TRUE(sameBits(a.fitValues[k], e.fitValues[k])) << what << " permutation " << k;
    ASSERT_TRUE(sameBits(a.correlations[k], e.correlations[k])) << what << " permutation " << k;
    ASSERT_EQ(a.seeds[k], e.seeds[k]) << what << " permutation " << k;
    ASSERT_EQ(a.solutionIds[k], e.solutionIds[k]) << what << " permutation " << k;
  }
  ASSERT_EQ(actual.solutions.size(), expected.solutions.size()) << what;
  for (std::size_t s = 0; s < expected.solutions.size(); ++s) {
    EXPECT_EQ(actual.solutions[s]->getSolutionId(), expected.solutions[s]->getSolutionId()) << what;
    EXPECT_EQ(actual.solutions[s]->getSeed(), expected.solutions[s]->getSeed()) << what;
  }
}

// Any number of jobs gives the run of one job: the same seeds, fits and ids
// for every permutation and the same kept solutions in the same order, for
// every method, with and without the identity first, and when every fit is
// not a number (each solution then replaces the list).
TEST(PermutationRunJobs, EveryJobCountGivesTheSameRun) {
  test::MethodsFixture methods;
  std::mt19937 random(77);
  const auto tied = randomLower(random, 24, 3);
  const std::vector<double> zeros(24 * 23 / 2, 0.0);
  for (const std::vector<double>* lower : {&tied, &zeros}) {
    for (ClusterMethod* method : methods.all()) {
      for (const bool identity : {true, false}) {
        PermutationCase one(*method, 60);
        one.matrix.assignLowerTriangle(24, *lower);
        one.settings.firstPermutationIsIdentity = identity;
        one.settings.seed = 4711;
        one.go();
        for (const int jobs : {2, 7}) {
          PermutationCase many(*method, 60);
          many.matrix.assignLowerTriangle(24, *lower);
          many.settings = one.settings;
          many.settings.jobs = jobs;
          many.go();
          expectSameRun(one.results, many.results,
                        method->getName() + (identity ? " identity" : "") + (lower == &zeros ? " zeros" : "") +
                            " jobs " + std::to_string(jobs));
        }
      }
    }
  }
}

// A cancellation stops every job before its next permutation: the run holds
// the permutations 0 … completed − 1, exactly what one job gives for that
// many permutations.
TEST(PermutationRunJobs, ACancellationKeepsAPrefixOfThePermutations) {
  test::MethodsFixture methods;
  std::mt19937 random(3);
  const auto lower = randomLower(random, 40, 4);
  CountingProgress progress(5);
  PermutationCase many(*ClusterMethodFactory::getAverageLinkageBetweenGroups(), 500);
  many.matrix.assignLowerTriangle(40, lower);
  many.settings.jobs = 3;
  many.go(progress);
  const int completed = many.results.records.completed;
  EXPECT_GE(completed, 5);
  EXPECT_LT(completed, 500);
  EXPECT_EQ(progress.steps, completed);
  EXPECT_EQ(progress.statuses.back(), "Passed permutations " + std::to_string(completed) + "/500");
  PermutationCase prefix(*ClusterMethodFactory::getAverageLinkageBetweenGroups(), completed);
  prefix.matrix.assignLowerTriangle(40, lower);
  prefix.go();
  expectSameRun(prefix.results, many.results, "canceled");
}

// A permutation that cannot be clustered ends the run with its error, with
// any number of jobs.
TEST(PermutationRunJobs, AFailingPermutationEndsTheRunWithItsError) {
  test::MethodsFixture methods;
  for (const int jobs : {1, 2, 7}) {
    PermutationCase failing(*ClusterMethodFactory::getWard(), 20);
    failing.matrix.assignLowerTriangle(3, {-9e49, 9e49, 9e49});
    failing.settings.jobs = jobs;
    try {
      failing.go();
      ADD_FAILURE() << "no error with " << jobs << " jobs";
    } catch (const EKorvanaError& error) {
      EXPECT_NE(std::string(error.what()).find("No pair of clusters could be merged"), std::string::npos)
          << error.what();
    }
  }
}

}  // namespace
}  // namespace korvana
