// The cut of a tree into k clusters and the stability of the best solution's
// k-partitions across the permutations, against brute force: every
// permutation's partitions kept and compared pair by pair.
#include "engine/PartitionStability.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "EngineTestSupport.h"
#include "engine/PermutationRun.h"
#include "engine/ProgressMonitor.h"
#include "engine/SharedRun.h"
#include "engine/TreeCut.h"

namespace korvana {
namespace {

using Labels = std::vector<int>;

// The adjusted Rand index from the four kinds of object pairs.
double pairCountRand(const Labels& a, const Labels& b) {
  double together = 0, onlyA = 0, onlyB = 0, apart = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < i; ++j) {
      const bool sameA = a[i] == a[j], sameB = b[i] == b[j];
      (sameA && sameB ? together : sameA ? onlyA : sameB ? onlyB : apart) += 1;
    }
  const double denominator = (apart + onlyB) * (onlyB + together) + (apart + onlyA) * (onlyA + together);
  return denominator == 0 ? 1.0 : 2 * (apart * together - onlyA * onlyB) / denominator;
}

// Per cluster of a: its best Jaccard similarity with a cluster of b, by sets.
std::vector<double> setJaccard(const Labels& a, const Labels& b) {
  std::map<int, std::set<std::size_t>> clustersA, clustersB;
  for (std::size_t o = 0; o < a.size(); ++o) {
    clustersA[a[o]].insert(o);
    clustersB[b[o]].insert(o);
  }
  std::vector<double> best;
  for (const auto& [label, members] : clustersA) {
    double highest = 0;
    for (const auto& [other, theirs] : clustersB) {
      std::size_t shared = 0;
      for (const std::size_t o : members) shared += theirs.count(o);
      highest = std::max(highest, double(shared) / double(members.size() + theirs.size() - shared));
    }
    best.push_back(highest);
  }
  return best;
}

std::vector<double> tieRich(int n, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<double> lower(static_cast<std::size_t>(n * (n - 1) / 2));
  for (double& v : lower) v = 1.0 + static_cast<double>(random() % 3);
  return lower;
}

// Objects 0-1 at 1, 2-3 at 2, {0,1}-{2,3} at 5, object 4 far: the cuts of
// every k, and a tie between the two lowest merges with 0-1 and 2-3 at 1.
TEST(TreeCut, CutsTheFirstMergesAndNumbersByFirstObject) {
  test::MethodsFixture methods;
  ClusterMethod& single = *methods.all()[2];
  //                                  (1,0) (2,0) (2,1) (3,0) (3,1) (3,2) (4,0..3)
  const auto matrix = test::makeMatrix(5, {1, 5, 5, 5, 5, 2, 9, 9, 9, 9});
  const auto solution = test::cluster(*matrix, single, {4, 2, 0, 3, 1});
  const std::map<int, Labels> expected = {
      {5, {1, 2, 3, 4, 5}}, {4, {1, 1, 2, 3, 4}}, {3, {1, 1, 2, 2, 3}}, {2, {1, 1, 1, 1, 2}}, {1, {1, 1, 1, 1, 1}}};
  for (const auto& [k, labels] : expected) EXPECT_EQ(clusterMembership(*solution, k), labels) << k;
  for (int k = 2; k <= 4; ++k) EXPECT_FALSE(isTiedCut(*solution, k)) << k;
  TreeCut cut(*solution);
  cut.cutTo(3);
  EXPECT_THROW(cut.cutTo(4), EKorvanaError);

  const auto tied = test::makeMatrix(5, {1, 5, 5, 5, 5, 1, 9, 9, 9, 9});
  const auto tiedSolution = test::cluster(*tied, single);
  EXPECT_TRUE(isTiedCut(*tiedSolution, 4));
  EXPECT_FALSE(isTiedCut(*tiedSolution, 3));
  // The key depends on the partition alone, not on the tree or its order.
  EXPECT_EQ(PartitionTally::partitionKeys(*solution, 2, 3), PartitionTally::partitionKeys(*tiedSolution, 2, 3));
  EXPECT_NE(PartitionTally::partitionKeys(*solution, 4, 4), PartitionTally::partitionKeys(*solution, 3, 3));
}

TEST(PartitionStability, AdjustedRandAndJaccardMatchPairCounting) {
  const std::vector<std::pair<Labels, Labels>> cases = {
      {{1, 1, 1, 2, 2, 2}, {1, 1, 2, 2, 3, 3}},
      {{1, 1, 2, 2}, {1, 2, 1, 2}},
      {{1, 2, 3, 1, 2, 3, 1}, {1, 1, 1, 2, 2, 2, 3}},
      {{1, 1, 2, 3}, {1, 1, 2, 3}},
      {{1, 2, 2, 2, 2, 3, 3, 4}, {1, 1, 2, 2, 2, 3, 4, 4}},
  };
  for (const auto& [a, b] : cases) {
    EXPECT_NEAR(adjustedRandIndex(a, b), pairCountRand(a, b), 1e-15);
    EXPECT_EQ(adjustedRandIndex(a, b), adjustedRandIndex(b, a));
    const std::vector<double> jaccard = highestJaccard(a, b), bySets = setJaccard(a, b);
    ASSERT_EQ(jaccard.size(), bySets.size());
    for (std::size_t c = 0; c < jaccard.size(); ++c) EXPECT_DOUBLE_EQ(jaccard[c], bySets[c]);
  }
  EXPECT_NEAR(adjustedRandIndex({1, 1, 1, 2, 2, 2}, {1, 1, 2, 2, 3, 3}), 8.0 / 33.0, 1e-15);
  EXPECT_EQ(adjustedRandIndex({1, 1, 2, 3}, {2, 2, 3, 1}), 1.0);
}

PermutationSettings stabilitySettings(int from, int to) {
  PermutationSettings settings;
  settings.permutationCount = 60;
  settings.firstPermutationIsIdentity = true;
  settings.seed = 4242;
  settings.membershipFrom = from;
  settings.membershipTo = to;
  return settings;
}

// Every method on tie-rich matrices: the report from the distinct
// partitions equals the statistics of every permutation's partitions.
TEST(PartitionStability, EqualsBruteForceOverEveryPermutation) {
  test::MethodsFixture methods;
  for (const unsigned seed : {3u, 11u}) {
    const int n = 9;
    const auto matrix = test::makeMatrix(n, tieRich(n, seed));
    for (ClusterMethod* method : methods.all()) {
      PermutationSettings settings = stabilitySettings(2, 6);
      // Each permutation's partitions, k = 6 … 2, as the text of its tree.
      settings.describe = [](const ClusterSolution& solution) {
        std::string text;
        for (int k = 6; k >= 2; --k)
          for (const int label : clusterMembership(solution, k)) text += static_cast<char>(label);
        return text;
      };
      SilentProgress silent;
      const PermutationResults results = runPermutations(*matrix, *method, settings, silent);
      const std::vector<PartitionStability> report = reportPartitionStability(*matrix, *method, settings, results);
      ASSERT_EQ(report.size(), 5u);
      const double bestFit = results.solutions.front()->getNormalizedSSDif();
      for (int k = 2; k <= 6; ++k) {
        const std::string what = method->getName() + " seed " + std::to_string(seed) + " k " + std::to_string(k);
        const Labels best = clusterMembership(*results.solutions.front(), k);
        std::set<Labels> all, bestFitting;
        double sumRand = 0, lowest = 2, same = 0;
        std::vector<double> jaccard(static_cast<std::size_t>(k), 0.0);
        for (int p = 0; p < results.records.completed; ++p) {
          const std::string& text = results.texts[static_cast<std::size_t>(p)];
          const std::size_t at = static_cast<std::size_t>((6 - k) * n);
          const Labels labels(text.begin() + static_cast<long>(at), text.begin() + static_cast<long>(at + n));
          all.insert(labels);
          if (results.records.fitValues[static_cast<std::size_t>(p)] == bestFit) bestFitting.insert(labels);
          same += labels == best;
          const double rand = pairCountRand(labels, best);
          sumRand += rand;
          lowest = std::min(lowest, rand);
          const std::vector<double> highest = setJaccard(best, labels);
          for (std::size_t c = 0; c < jaccard.size(); ++c) jaccard[c] += highest[c];
        }
        const double count = results.records.completed;
        const PartitionStability& got = report[static_cast<std::size_t>(k - 2)];
        EXPECT_EQ(got.k, k);
        EXPECT_EQ(got.distinctAll, static_cast<int>(all.size())) << what;
        EXPECT_EQ(got.distinctBest, static_cast<int>(bestFitting.size())) << what;
        EXPECT_DOUBLE_EQ(got.sameAsBest, same / count) << what;
        EXPECT_NEAR(got.meanAdjustedRand, sumRand / count, 1e-12) << what;
        EXPECT_NEAR(got.minAdjustedRand, lowest, 1e-12) << what;
        ASSERT_EQ(got.clusterStability.size(), jaccard.size()) << what;
        for (std::size_t c = 0; c < jaccard.size(); ++c)
          EXPECT_NEAR(got.clusterStability[c], jaccard[c] / count, 1e-12) << what << " cluster " << c + 1;
      }
    }
  }
}

bool sameReport(const std::vector<PartitionStability>& a, const std::vector<PartitionStability>& b) {
  const auto bits = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].k != b[i].k || a[i].distinctAll != b[i].distinctAll || a[i].distinctBest != b[i].distinctBest ||
        !bits(a[i].sameAsBest, b[i].sameAsBest) || !bits(a[i].meanAdjustedRand, b[i].meanAdjustedRand) ||
        !bits(a[i].minAdjustedRand, b[i].minAdjustedRand) || a[i].clusterStability.size() != b[i].clusterStability.size())
      return false;
    for (std::size_t c = 0; c < a[i].clusterStability.size(); ++c)
      if (!bits(a[i].clusterStability[c], b[i].clusterStability[c])) return false;
  }
  return true;
}

// Jobs 1, 2 and 7, and shares passed as bytes and merged, give the same
// report to the bit; so do runs stopped when stable, whose jobs finished
// permutations past the stop.
TEST(PartitionStability, SameBitsForAnyJobsAndShares) {
  test::MethodsFixture methods;
  const int n = 12;
  const auto matrix = test::makeMatrix(n, tieRich(n, 5));
  for (ClusterMethod* method : methods.all()) {
    for (const int stable : {0, 4}) {
      PermutationSettings settings = stabilitySettings(2, 7);
      settings.stopWhenStable = stable;
      SilentProgress silent;
      const PermutationResults one = runPermutations(*matrix, *method, settings, silent);
      const auto expected = reportPartitionStability(*matrix, *method, settings, one);
      ASSERT_EQ(expected.size(), 6u) << method->getName();
      for (const int jobs : {2, 7}) {
        PermutationSettings parallel = settings;
        parallel.jobs = jobs;
        const PermutationResults results = runPermutations(*matrix, *method, parallel, silent);
        EXPECT_TRUE(sameReport(reportPartitionStability(*matrix, *method, parallel, results), expected))
            << method->getName() << " jobs " << jobs << " stable " << stable;
      }
      if (stable > 0) continue;  // a stop is applied by whoever spreads the shares
      std::vector<PermutationResults> shares;
      for (int share = 0; share < 3; ++share) {
        PermutationSettings part = settings;
        part.shareCount = 3;
        part.shareIndex = share;
        part.jobs = 1 + share % 2;
        PermutationResults results = runPermutations(*matrix, *method, part, silent);
        if (share == 0) results.solutions.clear();
        shares.push_back(decodeShare(encodeShare(results), settings.permutationCount));
      }
      const PermutationResults merged = mergeShares(std::move(shares), *matrix, *method, settings);
      EXPECT_TRUE(sameReport(reportPartitionStability(*matrix, *method, settings, merged), expected))
          << method->getName() << " shares";
      // Merged with a stop before permutation 40: the permutations past it
      // leave the tally as if they had never run.
      std::vector<PermutationResults> again;
      for (int share = 0; share < 3; ++share) {
        PermutationSettings part = settings;
        part.shareCount = 3;
        part.shareIndex = share;
        again.push_back(runPermutations(*matrix, *method, part, silent));
      }
      PermutationSettings shorter = settings;
      shorter.permutationCount = 40;
      const PermutationResults cut = mergeShares(std::move(again), *matrix, *method, settings, 40);
      const PermutationResults whole40 = runPermutations(*matrix, *method, shorter, silent);
      EXPECT_TRUE(sameReport(reportPartitionStability(*matrix, *method, settings, cut),
                             reportPartitionStability(*matrix, *method, shorter, whole40)))
          << method->getName() << " stopped shares";
    }
  }
}

}  // namespace
}  // namespace korvana
