// Cluster support and the distinct-solution accounting against brute force:
// every completed permutation clustered again on its own, its tree taken as
// the explicit member sets of its clusters, its hierarchy as those sets less
// the clusters formed at the (13-digit) height of their parent, the counts
// and the majority-rule consensus made by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>

#include "CountingProgress.h"
#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/PermutationRun.h"
#include "common/ScientificFormat.h"
#include "engine/BestFitHistory.h"
#include "engine/RandomPermutationGenerator.h"

namespace korvana {
namespace {

using test::CountingProgress;
using Cluster = std::set<int>;
using Tree = std::set<Cluster>;

/// The member sets of the clusters a schedule forms, stage by stage.
std::vector<Cluster> clustersOf(const ClusterSolution& solution) {
  std::map<int, Cluster> members;
  for (int o = 0; o < solution.getObjectCount(); ++o) members[o] = {o};
  std::vector<Cluster> formed;
  for (int t = 0; t < solution.getStageCount(); ++t) {
    Cluster& merged = members[solution.getCluster1(t)];
    const Cluster& absorbed = members[solution.getCluster2(t)];
    merged.insert(absorbed.begin(), absorbed.end());
    formed.push_back(merged);
  }
  return formed;
}

/// The hierarchy by hand: each stage's parent found from the member sets,
/// heights compared as 13-digit text.
std::vector<bool> foldsOf(const ClusterSolution& solution) {
  const std::vector<Cluster> formed = clustersOf(solution);
  std::vector<bool> folded(formed.size(), false);
  for (std::size_t t = 0; t < formed.size(); ++t)
    for (std::size_t u = t + 1; u < formed.size(); ++u)
      if (std::includes(formed[u].begin(), formed[u].end(), formed[t].begin(), formed[t].end())) {
        folded[t] = formatScientific(solution.getHeight(static_cast<int>(t)), 13) ==
                    formatScientific(solution.getHeight(static_cast<int>(u)), 13);
        break;
      }
  return folded;
}

Tree hierarchyByHand(const ClusterSolution& solution) {
  const std::vector<Cluster> formed = clustersOf(solution);
  const std::vector<bool> folded = foldsOf(solution);
  Tree tree;
  for (std::size_t t = 0; t < formed.size(); ++t)
    if (!folded[t]) tree.insert(formed[t]);
  return tree;
}

struct Expected {
  int stoppedAfter = -1;  // the stable run's stop, by hand
  std::vector<std::vector<StageSupport>> support;
  DistinctSolutions all, best;
  std::vector<std::vector<StageSupport>> hierarchySupport;  // NaN where folded
  DistinctSolutions hierarchiesAll, hierarchiesBest;
  std::map<Cluster, double> consensusAll, consensusBest;
};

/// The accounting of keys in permutation order, over the counted ones.
template <class Key>
DistinctSolutions account(const std::vector<Key>& keys, const std::vector<bool>& counted) {
  DistinctSolutions d;
  std::map<Key, int> seen;
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (counted[k]) {
      ++d.permutations;
      ++seen[keys[k]];
    }
    d.curve.push_back(static_cast<int>(seen.size()));
  }
  d.distinct = static_cast<int>(seen.size());
  for (const auto& [key, times] : seen) {
    d.seenOnce += times == 1;
    d.seenTwice += times == 2;
  }
  return d;
}

/// The report computed by hand from the records: every permutation rerun.
Expected bruteForce(const ProximityMatrix& matrix, ClusterMethod& method, const PermutationSettings& settings,
                    const PermutationResults& results) {
  const PermutationRecords& records = results.records;
  const double kept = results.solutions.front()->getNormalizedSSDif();
  std::vector<Tree> trees;
  std::vector<Tree> hierarchies;
  std::vector<bool> best;
  for (int k = 0; k < records.completed; ++k) {
    const bool identity = k == 0 && settings.firstPermutationIsIdentity;
    auto rerun = test::cluster(matrix, method,
                               RandomPermutationGenerator(records.seeds[static_cast<std::size_t>(k)],
                                                          matrix.getNumberOfObjects())
                                   .nextPermutation(identity));
    EXPECT_EQ(rerun->getSolutionId(), records.solutionIds[static_cast<std::size_t>(k)]);
    const std::vector<Cluster> formed = clustersOf(*rerun);
    trees.emplace_back(formed.begin(), formed.end());
    hierarchies.push_back(hierarchyByHand(*rerun));
    // Equal hierarchy ids for equal hierarchies, and only for them.
    for (std::size_t other = 0; other + 1 < hierarchies.size(); ++other)
      EXPECT_EQ(hierarchies[other] == hierarchies.back(),
                records.hierarchyIds[other] == records.hierarchyIds[static_cast<std::size_t>(k)])
          << "permutations " << other + 1 << " and " << k + 1;
    const double fit = rerun->getNormalizedSSDif();
    best.push_back(fit == kept || (std::isnan(fit) && std::isnan(kept)));
  }
  Expected expected;
  for (const auto& solution : results.solutions) {
    std::vector<StageSupport> stages;
    for (const Cluster& cluster : clustersOf(*solution)) {
      int all = 0, inBest = 0, bestCount = 0;
      for (std::size_t k = 0; k < trees.size(); ++k) {
        const bool holds = trees[k].count(cluster) > 0;
        all += holds;
        if (best[k]) {
          ++bestCount;
          inBest += holds;
        }
      }
      stages.push_back({static_cast<double>(all) / static_cast<double>(trees.size()),
                        static_cast<double>(inBest) / bestCount});
    }
    expected.support.push_back(stages);
  }
  // The stop rule by hand: the first permutation k after which neither the
  // best fit nor the set of best-fitting hierarchies changed for N
  // permutations (over every permutation the run completed).
  if (settings.stopWhenStable > 0) {
    int lastChange = 0;
    double bestFit = 0;
    std::set<Tree> bestSet;
    for (int k = 0; k < records.completed; ++k) {
      const double fit = records.fitValues[static_cast<std::size_t>(k)];
      if (k == 0 || fit < bestFit || std::isnan(fit) || std::isnan(bestFit)) {
        bestFit = fit;
        bestSet = {hierarchies[static_cast<std::size_t>(k)]};
        lastChange = k;
      } else if (fit == bestFit && bestSet.insert(hierarchies[static_cast<std::size_t>(k)]).second) {
        lastChange = k;
      }
      if (k - lastChange >= settings.stopWhenStable) {
        expected.stoppedAfter = k;
        break;
      }
    }
  }
  const std::vector<bool> everyone(trees.size(), true);
  expected.all = account(std::vector<SolutionId>(records.solutionIds.begin(), records.solutionIds.begin() + records.completed), everyone);
  expected.best = account(std::vector<SolutionId>(records.solutionIds.begin(), records.solutionIds.begin() + records.completed), best);
  expected.hierarchiesAll = account(hierarchies, everyone);
  expected.hierarchiesBest = account(hierarchies, best);
  for (const auto& solution : results.solutions) {
    const std::vector<Cluster> formed = clustersOf(*solution);
    const std::vector<bool> folded = foldsOf(*solution);
    std::vector<StageSupport> stages;
    for (std::size_t t = 0; t < formed.size(); ++t) {
      int all = 0, inBest = 0, bestCount = 0;
      for (std::size_t k = 0; k < hierarchies.size(); ++k) {
        const bool holds = hierarchies[k].count(formed[t]) > 0;
        all += holds;
        if (best[k]) {
          ++bestCount;
          inBest += holds;
        }
      }
      const double nan = std::nan("");
      stages.push_back(folded[t] ? StageSupport{nan, nan}
                                 : StageSupport{static_cast<double>(all) / static_cast<double>(hierarchies.size()),
                                                static_cast<double>(inBest) / bestCount});
    }
    expected.hierarchySupport.push_back(stages);
  }
  for (const bool bestOnly : {false, true}) {
    std::map<Cluster, int> counts;
    int total = 0;
    for (std::size_t k = 0; k < hierarchies.size(); ++k) {
      if (bestOnly && !best[k]) continue;
      ++total;
      for (const Cluster& cluster : hierarchies[k]) ++counts[cluster];
    }
    for (const auto& [cluster, count] : counts)
      if (2 * count > total) (bestOnly ? expected.consensusBest : expected.consensusAll)[cluster] = double(count) / total;
  }
  return expected;
}

void expectAccounting(const DistinctSolutions& mine, const DistinctSolutions& theirs, const std::string& what) {
  EXPECT_EQ(mine.permutations, theirs.permutations) << what;
  EXPECT_EQ(mine.distinct, theirs.distinct) << what;
  EXPECT_EQ(mine.seenOnce, theirs.seenOnce) << what;
  EXPECT_EQ(mine.seenTwice, theirs.seenTwice) << what;
  EXPECT_EQ(mine.curve, theirs.curve) << what;
  EXPECT_DOUBLE_EQ(mine.estimatedTotal, chao1(theirs.distinct, theirs.seenOnce, theirs.seenTwice)) << what;
}

void expectConsensus(const Consensus& mine, const std::map<Cluster, double>& theirs, const std::string& what) {
  ASSERT_TRUE(mine.known) << what;
  std::map<Cluster, double> found;
  for (const ConsensusCluster& cluster : mine.clusters)
    found[Cluster(cluster.objects.begin(), cluster.objects.end())] = cluster.support;
  EXPECT_EQ(found, theirs) << what;
  for (std::size_t c = 1; c < mine.clusters.size(); ++c)
    EXPECT_LE(mine.clusters[c - 1].objects.size(), mine.clusters[c].objects.size()) << what << ": smallest first";
}

void expectReport(const Expected& expected, const SupportReport& report, const PermutationResults& results,
                  const std::string& what) {
  EXPECT_EQ(results.stoppedAfter, expected.stoppedAfter) << what;
  if (expected.stoppedAfter >= 0) {
    EXPECT_EQ(results.records.completed, expected.stoppedAfter + 1) << what;
  }
  // The best fit's history against the kept solutions and the accounting.
  const BestFitHistory history = bestFitHistoryOf(results.records);
  if (!results.solutions.empty()) {
    EXPECT_EQ(history.records.back().permutation, results.solutions.front()->getPermutationIndex()) << what;
    EXPECT_EQ(history.firstReachedAt, results.solutions.front()->getPermutationIndex()) << what;
    EXPECT_EQ(history.reachedBy, report.best.permutations) << what;
  }
  ASSERT_EQ(report.solutions.size(), expected.support.size()) << what;
  ASSERT_EQ(report.hierarchySupport.size(), expected.hierarchySupport.size()) << what;
  for (std::size_t s = 0; s < expected.hierarchySupport.size(); ++s)
    for (std::size_t t = 0; t < expected.hierarchySupport[s].size(); ++t) {
      const StageSupport& mine = report.hierarchySupport[s][t];
      const StageSupport& theirs = expected.hierarchySupport[s][t];
      EXPECT_EQ(static_cast<bool>(report.folded[s][t]), std::isnan(theirs.all)) << what << " stage " << t + 1;
      if (std::isnan(theirs.all)) {
        EXPECT_TRUE(std::isnan(mine.all) && std::isnan(mine.best)) << what << " folded stage " << t + 1;
      } else {
        EXPECT_DOUBLE_EQ(mine.all, theirs.all) << what << " solution " << s << " stage " << t + 1;
        EXPECT_DOUBLE_EQ(mine.best, theirs.best) << what << " solution " << s << " stage " << t + 1;
      }
    }
  expectAccounting(report.hierarchiesAll, expected.hierarchiesAll, what + " hierarchies");
  expectAccounting(report.hierarchiesBest, expected.hierarchiesBest, what + " best-fitting hierarchies");
  expectConsensus(report.consensusAll, expected.consensusAll, what + " consensus");
  expectConsensus(report.consensusBest, expected.consensusBest, what + " best-fitting consensus");
  for (std::size_t s = 0; s < expected.support.size(); ++s)
    for (std::size_t t = 0; t < expected.support[s].size(); ++t) {
      ASSERT_DOUBLE_EQ(report.solutions[s][t].all, expected.support[s][t].all) << what << " solution " << s;
      ASSERT_DOUBLE_EQ(report.solutions[s][t].best, expected.support[s][t].best) << what << " solution " << s;
    }
  expectAccounting(report.all, expected.all, what);
  expectAccounting(report.best, expected.best, what + " best-fitting");
}

// Every method, with and without the identity first, with one, two and seven
// jobs, a canceled run and a run stopped when stable: the report the tallies
// give is the brute-force one, for merge orders and for hierarchies (the
// permutations past a stable run's stop taken out again), the stop is where
// the rule by hand puts it, and the best fit's history agrees with the kept
// solutions.
TEST(ClusterSupport, MatchesBruteForceOnTieRichMatrices) {
  test::MethodsFixture methods;
  std::mt19937 random(31);
  std::vector<double> lower(12 * 11 / 2);
  for (double& v : lower) v = static_cast<double>(random() % 3);
  int stops = 0;
  for (ClusterMethod* method : methods.all()) {
    for (const bool identity : {true, false}) {
      for (const int jobs : {1, 2, 7}) {
        for (const auto& [cancelAfter, stable] : {std::pair{-1, 0}, {9, 0}, {-1, 3}}) {
          ProximityMatrix matrix;
          matrix.assignLowerTriangle(12, lower);
          PermutationSettings settings;
          settings.permutationCount = 40;
          settings.firstPermutationIsIdentity = identity;
          settings.seed = 1234;
          settings.jobs = jobs;
          settings.tallyClusters = true;
          settings.stopWhenStable = stable;
          CountingProgress progress(cancelAfter);
          const PermutationResults results = runPermutations(matrix, *method, settings, progress);
          const std::string what = method->getName() + (identity ? " identity" : "") + " jobs " +
                                   std::to_string(jobs) + (cancelAfter >= 0 ? " canceled" : "") +
                                   (stable > 0 ? " stable" : "");
          if (cancelAfter >= 0 && jobs == 1) {
            ASSERT_EQ(results.records.completed, 9) << what;
          }
          expectReport(bruteForce(matrix, *method, settings, results),
                       reportSupport(matrix, *method, settings, results), results, what);
          stops += results.stoppedAfter >= 0 ? 1 : 0;
        }
      }
    }
  }
  EXPECT_GT(stops, 10) << "the stable runs should stop early";
}

// A fit that is not a number between better ones makes the kept fit one the
// tally does not follow: the best-fitting permutations are then counted again
// from their seeds, with the same result as brute force.
TEST(ClusterSupport, AKeptFitTheTallyDoesNotFollowIsRecounted) {
  test::MethodsFixture methods;
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(5, {1, 2, 2, 3, 3, 1, 2, 2, 1, 3});
  PermutationSettings settings;
  settings.permutationCount = 12;
  settings.tallyClusters = true;
  SilentProgress progress;
  PermutationResults results = runPermutations(matrix, *ClusterMethodFactory::getSingleLinkage(), settings, progress);
  // The same trees, but one permutation tallied at a lower fit than any (as
  // a fit that is not a number in between would leave it).
  ClusterTally tally;
  ClusterTally hierarchyTally;
  for (int k = 0; k < results.records.completed; ++k) {
    const auto rerun = test::cluster(matrix, *ClusterMethodFactory::getSingleLinkage(),
                                     RandomPermutationGenerator(results.records.seeds[static_cast<std::size_t>(k)], 5)
                                         .nextPermutation(k == 0));
    const double fit = rerun->getNormalizedSSDif();
    tally.add(clusterKeysOf(*rerun), k == 3 ? fit / 2 : fit);
    hierarchyTally.add(hierarchyOf(*rerun, clusterKeysOf(*rerun)).clusters, k == 3 ? fit / 2 : fit, k);
  }
  results.tally = tally;
  results.hierarchyTally = hierarchyTally;
  ASSERT_EQ(results.tally.at(results.solutions.front()->getNormalizedSSDif()), nullptr);
  expectReport(bruteForce(matrix, *ClusterMethodFactory::getSingleLinkage(), settings, results),
               reportSupport(matrix, *ClusterMethodFactory::getSingleLinkage(), settings, results), results,
               "recounted");
}

}  // namespace
}  // namespace korvana

namespace korvana {
namespace {

// Single linkage's tree is fixed by the minimum spanning tree up to the order
// of merges at equal heights: every permutation has the same hierarchy,
// however many ties the proximities hold.
TEST(Hierarchies, SingleLinkageGivesOneHierarchyWhateverTheTies) {
  test::MethodsFixture methods;
  std::mt19937 random(2027);
  for (int trial = 0; trial < 25; ++trial) {
    const int n = 4 + static_cast<int>(random() % 30);
    const int levels = 2 + static_cast<int>(random() % 4);
    std::vector<double> lower(static_cast<std::size_t>(n * (n - 1) / 2));
    for (double& v : lower) v = 0.1 * static_cast<double>(random() % static_cast<unsigned>(levels));
    ProximityMatrix matrix;
    matrix.assignLowerTriangle(n, lower);
    PermutationSettings settings;
    settings.permutationCount = 30;
    settings.seed = static_cast<std::int32_t>(random());
    SilentProgress progress;
    const PermutationResults results =
        runPermutations(matrix, *ClusterMethodFactory::getSingleLinkage(), settings, progress);
    for (int k = 1; k < results.records.completed; ++k)
      ASSERT_EQ(results.records.hierarchyIds[static_cast<std::size_t>(k)], results.records.hierarchyIds[0])
          << "trial " << trial << ", " << n << " objects, permutation " << k + 1;
  }
}

}  // namespace
}  // namespace korvana
