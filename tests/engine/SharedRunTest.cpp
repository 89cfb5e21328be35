// A run split into shares, the shares passed as bytes and merged: the same
// records, kept solutions and support as one run of all the permutations.
#include "engine/SharedRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/ProgressMonitor.h"
#include "engine/RandomPermutationGenerator.h"

namespace korvana {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(RandomPermutationGenerator, SkippingIsDrawingThatManySteps) {
  for (const std::uint64_t steps : {0ull, 1ull, 5ull, 4096ull, 1000003ull}) {
    RandomPermutationGenerator drawn(-77, 9), skipped(-77, 9);
    for (std::uint64_t i = 0; i < steps; ++i) drawn.random(1);
    skipped.skip(steps);
    EXPECT_EQ(skipped.getState(), drawn.getState()) << steps;
    EXPECT_EQ(skipped.nextPermutation(false), drawn.nextPermutation(false)) << steps;
  }
}

// Every method, with and without the identity first, three shares with one
// or two jobs each: merged from their bytes, they are the run of all.
TEST(SharedRun, MergedSharesAreTheWholeRun) {
  test::MethodsFixture methods;
  std::mt19937 random(8);
  std::vector<double> lower(13 * 12 / 2);
  for (double& v : lower) v = static_cast<double>(random() % 3);
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(13, lower);
  for (ClusterMethod* method : methods.all()) {
    for (const bool identity : {true, false}) {
      PermutationSettings settings;
      settings.permutationCount = 31;
      settings.firstPermutationIsIdentity = identity;
      settings.seed = 2026;
      settings.tallyClusters = true;
      SilentProgress silent;
      const PermutationResults whole = runPermutations(matrix, *method, settings, silent);
      std::vector<PermutationResults> shares;
      for (int share = 0; share < 3; ++share) {
        PermutationSettings part = settings;
        part.shareCount = 3;
        part.shareIndex = share;
        part.jobs = 1 + share % 2;
        PermutationResults results = runPermutations(matrix, *method, part, silent);
        // The first share's kept solutions are lost on the way: the merge
        // clusters those permutations again.
        if (share == 0) results.solutions.clear();
        shares.push_back(decodeShare(encodeShare(results), settings.permutationCount));
      }
      const PermutationResults merged = mergeShares(std::move(shares), matrix, *method, settings);
      const std::string what = method->getName() + (identity ? " identity" : "");
      ASSERT_EQ(merged.records.completed, 31) << what;
      EXPECT_TRUE(merged.tallyComplete);
      for (std::size_t k = 0; k < 31; ++k) {
        ASSERT_TRUE(sameBits(merged.records.fitValues[k], whole.records.fitValues[k])) << what << " " << k;
        ASSERT_TRUE(sameBits(merged.records.correlations[k], whole.records.correlations[k])) << what << " " << k;
        ASSERT_EQ(merged.records.seeds[k], whole.records.seeds[k]) << what << " " << k;
        ASSERT_EQ(merged.records.solutionIds[k], whole.records.solutionIds[k]) << what << " " << k;
        ASSERT_EQ(merged.records.hierarchyIds[k], whole.records.hierarchyIds[k]) << what << " " << k;
      }
      ASSERT_EQ(merged.solutions.size(), whole.solutions.size()) << what;
      for (std::size_t s = 0; s < whole.solutions.size(); ++s) {
        EXPECT_EQ(merged.solutions[s]->getPermutationIndex(), whole.solutions[s]->getPermutationIndex()) << what;
        EXPECT_EQ(merged.solutions[s]->getSolutionId(), whole.solutions[s]->getSolutionId()) << what;
        EXPECT_TRUE(sameBits(merged.solutions[s]->getCopheneticCorrelation(),
                             whole.solutions[s]->getCopheneticCorrelation()));
      }
      const SupportReport a = reportSupport(matrix, *method, settings, whole);
      const SupportReport b = reportSupport(matrix, *method, settings, merged);
      ASSERT_EQ(a.solutions.size(), b.solutions.size());
      for (std::size_t s = 0; s < a.solutions.size(); ++s)
        for (std::size_t t = 0; t < a.solutions[s].size(); ++t) {
          EXPECT_EQ(a.solutions[s][t].all, b.solutions[s][t].all) << what;
          EXPECT_EQ(a.solutions[s][t].best, b.solutions[s][t].best) << what;
        }
      EXPECT_EQ(a.all.curve, b.all.curve);
      EXPECT_EQ(a.best.curve, b.best.curve);
      for (std::size_t s = 0; s < a.hierarchySupport.size(); ++s)
        for (std::size_t t = 0; t < a.hierarchySupport[s].size(); ++t)
          EXPECT_TRUE(sameBits(a.hierarchySupport[s][t].all, b.hierarchySupport[s][t].all)) << what;
      EXPECT_EQ(a.hierarchiesAll.curve, b.hierarchiesAll.curve);
      for (const auto& [mine, theirs] : {std::pair{&a.consensusAll, &b.consensusAll}, std::pair{&a.consensusBest, &b.consensusBest}}) {
        ASSERT_EQ(mine->clusters.size(), theirs->clusters.size()) << what;
        for (std::size_t c = 0; c < mine->clusters.size(); ++c) {
          EXPECT_EQ(mine->clusters[c].objects, theirs->clusters[c].objects) << what;
          EXPECT_EQ(mine->clusters[c].support, theirs->clusters[c].support) << what;
        }
      }
    }
  }
}

// Shares stopped at different points: the merged run holds the prefix they
// completed together, and its support is unknown rather than wrong.
TEST(SharedRun, SharesStoppedEarlyGiveTheCommonPrefix) {
  test::MethodsFixture methods;
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(6, {1, 2, 2, 3, 3, 1, 2, 2, 1, 3, 2, 2, 1, 3, 2});
  ClusterMethod& method = *ClusterMethodFactory::getSingleLinkage();
  PermutationSettings settings;
  settings.permutationCount = 20;
  settings.tallyClusters = true;
  std::vector<PermutationResults> shares;
  for (int share = 0; share < 2; ++share) {
    PermutationSettings part = settings;
    part.shareCount = 2;
    part.shareIndex = share;
    part.permutationCount = share == 0 ? 20 : 9;  // the second stops after permutation 8 (its 1, 3, 5, 7)
    SilentProgress silent;
    PermutationResults results = runPermutations(matrix, method, part, silent);
    results.records.fitValues.resize(20);
    results.records.correlations.resize(20);
    results.records.seeds.resize(20);
    results.records.solutionIds.resize(20);
    shares.push_back(std::move(results));
  }
  const PermutationResults merged = mergeShares(std::move(shares), matrix, method, settings);
  EXPECT_EQ(merged.records.completed, 9);
  EXPECT_FALSE(merged.tallyComplete);
  const SupportReport report = reportSupport(matrix, method, settings, merged);
  EXPECT_EQ(report.all.permutations, 9);
  ASSERT_FALSE(report.solutions.empty());
  EXPECT_TRUE(std::isnan(report.solutions.front().front().all));
}

}  // namespace
}  // namespace korvana
