// Cluster support and the distinct-solution accounting against brute force:
// every completed permutation clustered again on its own, its tree taken as
// the explicit member sets of its clusters, the counts made by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>

#include "CountingProgress.h"
#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/PermutationRun.h"
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

struct Expected {
  std::vector<std::vector<StageSupport>> support;
  DistinctSolutions all, best;
};

/// The report computed by hand from the records: every permutation rerun.
Expected bruteForce(const ProximityMatrix& matrix, ClusterMethod& method, const PermutationSettings& settings,
                    const PermutationResults& results) {
  const PermutationRecords& records = results.records;
  const double kept = results.solutions.front()->getNormalizedSSDif();
  std::vector<Tree> trees;
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
  for (const bool bestOnly : {false, true}) {
    DistinctSolutions& d = bestOnly ? expected.best : expected.all;
    std::map<SolutionId, int> seen;
    for (int k = 0; k < records.completed; ++k) {
      if (!bestOnly || best[static_cast<std::size_t>(k)]) {
        ++d.permutations;
        ++seen[records.solutionIds[static_cast<std::size_t>(k)]];
      }
      d.curve.push_back(static_cast<int>(seen.size()));
    }
    d.distinct = static_cast<int>(seen.size());
    for (const auto& [id, times] : seen) {
      d.seenOnce += times == 1;
      d.seenTwice += times == 2;
    }
  }
  return expected;
}

void expectReport(const Expected& expected, const SupportReport& report, const std::string& what) {
  ASSERT_EQ(report.solutions.size(), expected.support.size()) << what;
  for (std::size_t s = 0; s < expected.support.size(); ++s)
    for (std::size_t t = 0; t < expected.support[s].size(); ++t) {
      ASSERT_DOUBLE_EQ(report.solutions[s][t].all, expected.support[s][t].all) << what << " solution " << s;
      ASSERT_DOUBLE_EQ(report.solutions[s][t].best, expected.support[s][t].best) << what << " solution " << s;
    }
  for (const auto& [mine, theirs] : {std::pair{&report.all, &expected.all}, std::pair{&report.best, &expected.best}}) {
    EXPECT_EQ(mine->permutations, theirs->permutations) << what;
    EXPECT_EQ(mine->distinct, theirs->distinct) << what;
    EXPECT_EQ(mine->seenOnce, theirs->seenOnce) << what;
    EXPECT_EQ(mine->seenTwice, theirs->seenTwice) << what;
    EXPECT_EQ(mine->curve, theirs->curve) << what;
    EXPECT_DOUBLE_EQ(mine->estimatedTotal, chao1(theirs->distinct, theirs->seenOnce, theirs->seenTwice)) << what;
  }
}

// Every method, with and without the identity first, with one job and three,
// and a canceled run: the report the tally gives is the brute-force one.
TEST(ClusterSupport, MatchesBruteForceOnTieRichMatrices) {
  test::MethodsFixture methods;
  std::mt19937 random(31);
  std::vector<double> lower(12 * 11 / 2);
  for (double& v : lower) v = static_cast<double>(random() % 3);
  for (ClusterMethod* method : methods.all()) {
    for (const bool identity : {true, false}) {
      for (const int jobs : {1, 3}) {
        for (const int cancelAfter : {-1, 9}) {
          ProximityMatrix matrix;
          matrix.assignLowerTriangle(12, lower);
          PermutationSettings settings;
          settings.permutationCount = 40;
          settings.firstPermutationIsIdentity = identity;
          settings.seed = 1234;
          settings.jobs = jobs;
          settings.tallyClusters = true;
          CountingProgress progress(cancelAfter);
          const PermutationResults results = runPermutations(matrix, *method, settings, progress);
          const std::string what = method->getName() + (identity ? " identity" : "") + " jobs " +
                                   std::to_string(jobs) + (cancelAfter >= 0 ? " canceled" : "");
          if (cancelAfter >= 0 && jobs == 1) {
            ASSERT_EQ(results.records.completed, 9) << what;
          }
          expectReport(bruteForce(matrix, *method, settings, results),
                       reportSupport(matrix, *method, settings, results), what);
        }
      }
    }
  }
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
  for (int k = 0; k < results.records.completed; ++k) {
    const auto rerun = test::cluster(matrix, *ClusterMethodFactory::getSingleLinkage(),
                                     RandomPermutationGenerator(results.records.seeds[static_cast<std::size_t>(k)], 5)
                                         .nextPermutation(k == 0));
    const double fit = rerun->getNormalizedSSDif();
    tally.add(clusterKeysOf(*rerun), k == 3 ? fit / 2 : fit);
  }
  results.tally = tally;
  ASSERT_EQ(results.tally.at(results.solutions.front()->getNormalizedSSDif()), nullptr);
  expectReport(bruteForce(matrix, *ClusterMethodFactory::getSingleLinkage(), settings, results),
               reportSupport(matrix, *ClusterMethodFactory::getSingleLinkage(), settings, results), "recounted");
}

}  // namespace
}  // namespace korvana
