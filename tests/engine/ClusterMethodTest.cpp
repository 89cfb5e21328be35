#include "engine/ClusterMethod.h"

#include <gtest/gtest.h>

#include <random>

#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/RandomPermutationGenerator.h"

namespace korvana {
namespace {

using ClusterMethodFactory::getAverageLinkageBetweenGroups;
using ClusterMethodFactory::getAverageLinkageWithinGroups;

struct Stage {
  int cluster1, cluster2;
  double coefficient;
};

std::vector<Stage> schedule(const ClusterSolution& solution) {
  std::vector<Stage> result;
  for (int t = 0; t < solution.getStageCount(); ++t)
    result.push_back({solution.getCluster1(t), solution.getCluster2(t), solution.getCoefficient(t)});
  return result;
}

void expectSchedule(const ClusterSolution& solution, const std::vector<Stage>& expected, const std::string& what) {
  const auto actual = schedule(solution);
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t t = 0; t < expected.size(); ++t) {
    EXPECT_EQ(actual[t].cluster1, expected[t].cluster1) << what << " stage " << t;
    EXPECT_EQ(actual[t].cluster2, expected[t].cluster2) << what << " stage " << t;
    EXPECT_DOUBLE_EQ(actual[t].coefficient, expected[t].coefficient) << what << " stage " << t;
  }
}

TEST(ClusterMethodFactory, MakesTheSevenMethodsInTableOrder) {
  test::MethodsFixture methods;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Between-groups linkage", "Average Linkage (Between Groups)"},
      {"Within-groups linkage", "Average Linkage (Within Groups)"},
      {"Nearest neighbor", "Single Linkage"},
      {"Furthest neighbor", "Complete Linkage"},
      {"Centroid clustering", "Centroid Linkage"},
      {"Median clustering", "Median Linkage"},
      {"Ward's method", "Ward Linkage"}};
  ASSERT_EQ(methods.all().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(methods.all()[i]->getName(), expected[i].first);
    EXPECT_EQ(methods.all()[i]->getDisplayName(), expected[i].second);
  }
  EXPECT_EQ(methods.all()[6], ClusterMethodFactory::getWard());
  EXPECT_EQ(methods.all()[2], ClusterMethodFactory::getSingleLinkage());
  ClusterMethodFactory::destroyClusterMethods();
  EXPECT_EQ(ClusterMethodFactory::getWard(), nullptr);
}

// Three objects, every dissimilarity 1, identity order: row 2's nearest
// neighbour is 1 (the last of equal columns) and the selection takes the last
// of equal rows, so working objects 2 and 1 merge first, then 1 and 0.
TEST(ClusterMethod, ThreeEqualObjectsMergeTheSameWayUnderEveryMethod) {
  test::MethodsFixture methods;
  const std::vector<std::vector<double>> coefficients = {
      {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 0.75}, {1, 0.75}, {0.5, 1}};
  for (bool dissimilarity : {true, false}) {
    const auto matrix = test::makeMatrix(3, {1, 1, 1}, dissimilarity);
    for (std::size_t m = 0; m < 7; ++m) {
      const auto solution = test::cluster(*matrix, *methods.all()[m]);
      const auto& c = coefficients[m];
      if (dissimilarity || m < 4 || m == 6) {
        expectSchedule(*solution, {{1, 2, c[0]}, {0, 1, c[1]}},
                       methods.all()[m]->getName() + (dissimilarity ? " dis" : " sim"));
      } else {
        // Median and centroid on similarities: the merges are the same.
        ASSERT_EQ(solution->getStageCount(), 2);
        EXPECT_EQ(solution->getCluster1(0), 1);
        EXPECT_EQ(solution->getCluster2(0), 2);
        EXPECT_EQ(solution->getCluster1(1), 0);
        EXPECT_EQ(solution->getCluster2(1), 1);
      }
    }
  }
}

TEST(ClusterMethod, MedianOnSimilaritiesWithUnitJoinAveragesTheTwoProximities) {
  test::MethodsFixture methods;
  //      0    1
  //  1   0.2
  //  2   0.6  1
  // The most similar pair (2, 1) joins at 1; the new similarity to 0 is
  // (0.2 + 0.6) / 2 + (1 − 1) / 4.
  const auto matrix = test::makeMatrix(3, {0.2, 0.6, 1}, false);
  const auto solution = test::cluster(*matrix, *ClusterMethodFactory::getMedian());
  expectSchedule(*solution, {{1, 2, 1}, {0, 1, (0.2 + 0.6) * 0.5}}, "median");
}

TEST(ClusterMethod, AverageLinkagesOnTheTextbookTriangle) {
  test::MethodsFixture methods;
  // 0–1: 2, 0–2: 4, 1–2: 6.
  const auto matrix = test::makeMatrix(3, {2, 4, 6});
  expectSchedule(*test::cluster(*matrix, *getAverageLinkageBetweenGroups()), {{0, 1, 2}, {0, 2, 5}}, "between");
  expectSchedule(*test::cluster(*matrix, *getAverageLinkageWithinGroups()), {{0, 1, 2}, {0, 2, 4}}, "within");
}

TEST(ClusterMethod, WithinGroupsMergeValueIsTheMeanOfAllPairsInsideTheUnion) {
  test::MethodsFixture methods;
  // Two tight pairs far apart: {0,1} and {2,3}; the last merge averages all
  // six proximities.
  const std::vector<double> lower = {1, 10, 11, 12, 13, 2};
  const auto matrix = test::makeMatrix(4, lower);
  const auto solution = test::cluster(*matrix, *getAverageLinkageWithinGroups());
  ASSERT_EQ(solution->getStageCount(), 3);
  EXPECT_DOUBLE_EQ(solution->getCoefficient(0), 1);
  EXPECT_DOUBLE_EQ(solution->getCoefficient(1), 2);
  EXPECT_DOUBLE_EQ(solution->getCoefficient(2), (1 + 10 + 11 + 12 + 13 + 2) / 6.0);
}

TEST(ClusterMethod, WardCoefficientsAccumulateHalfTheMergeValues) {
  test::MethodsFixture methods;
  // Points on a line: 0, 1, 5, 7. Squared distances.
  const auto matrix = test::makeMatrix(4, test::squaredEuclidean({{0}, {1}, {5}, {7}}));
  const auto solution = test::cluster(*matrix, *ClusterMethodFactory::getWard());
  // Within-cluster sums of squares: {0,1}: 0.5; {5,7}: 2; all: 0.5 + 2 + the
  // increase 2·2/4·(6 − 0.5)² = 30.25.
  expectSchedule(*solution, {{0, 1, 0.5}, {2, 3, 2.5}, {0, 2, 32.75}}, "ward");
}

TEST(ClusterMethod, ASingleObjectRunsNoStage) {
  test::MethodsFixture methods;
  const auto matrix = test::makeMatrix(1, {});
  for (ClusterMethod* method : methods.all()) {
    const auto solution = test::cluster(*matrix, *method);
    EXPECT_EQ(solution->getStageCount(), 0);
  }
}

// With all proximities distinct, single and complete linkage do not depend on
// the order of the objects: each gives one schedule (in matrix numbers) for
// every permutation.
TEST(ClusterMethod, SingleAndCompleteLinkageIgnoreTheOrderWithoutTies) {
  test::MethodsFixture methods;
  std::mt19937 random(7);
  const int n = 30;
  std::vector<double> lower(n * (n - 1) / 2);
  std::uniform_real_distribution<double> uniform(0, 1);
  for (double& v : lower) v = uniform(random);
  for (bool dissimilarity : {true, false}) {
    const auto matrix = test::makeMatrix(n, lower, dissimilarity);
    for (ClusterMethod* method : {ClusterMethodFactory::getSingleLinkage(), ClusterMethodFactory::getCompleteLinkage()}) {
      const auto reference = test::cluster(*matrix, *method);
      RandomPermutationGenerator generator(4000000, n);
      for (int p = 0; p < 25; ++p) {
        const auto solution = test::cluster(*matrix, *method, generator.nextPermutation(false));
        ASSERT_TRUE(solution->isSameSolution(*reference)) << method->getName() << " permutation " << p;
        for (int t = 0; t < n - 1; ++t) ASSERT_EQ(solution->getCoefficient(t), reference->getCoefficient(t));
      }
    }
  }
}

}  // namespace
}  // namespace korvana
