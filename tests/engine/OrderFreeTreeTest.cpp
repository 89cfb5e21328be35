// The order-free tree: the same to the bit for every working order, the
// pair-group tree where there are no ties, single linkage's one hierarchy,
// ties to 13 digits, the geometric rules for groups against their meaning,
// and small examples worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>

#include "EngineTestSupport.h"
#include "common/ScientificFormat.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/GroupLinkage.h"
#include "engine/SimilarityMatrix.h"
#include "engine/VariableGroupAgglomeration.h"

namespace korvana {
namespace {

using test::makeMatrix;

std::string bits(double value) { return std::to_string(std::bit_cast<std::uint64_t>(value)); }

/// Every value of the tree, doubles by their bits.
std::string describe(const OrderFreeTree& tree) {
  std::string text;
  for (const OrderFreeMerge& merge : tree.getMerges()) {
    text += "(";
    for (const int c : merge.clusters) text += std::to_string(c) + " ";
    text += bits(merge.height) + " " + bits(merge.lowest) + " " + bits(merge.highest) + " " +
            std::to_string(merge.objectCount) + ")";
  }
  const ClusterSolution& binary = tree.getBinaryForm();
  return text + bits(binary.getUnroundedNormalizedSSDif()) + " " + bits(tree.getCopheneticCorrelation());
}

std::vector<int> shuffled(int n, std::mt19937& random) {
  std::vector<int> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), random);
  return order;
}

/// A lower triangle of the values 1 … levels, each divided by `unit`: ties
/// everywhere, and with a unit like 7 sums whose last bits depend on their
/// order.
std::vector<double> tieRich(int n, int levels, std::mt19937& random, double unit = 1.0) {
  std::uniform_int_distribution<int> value(1, levels);
  std::vector<double> lower;
  for (int k = 0; k < n * (n - 1) / 2; ++k) lower.push_back(value(random) / unit);
  return lower;
}

/// Each value drawn from a pool of a quarter as many random reals of very
/// different magnitudes: most values tie with another, and sums round even in
/// extended precision, so that their last bits depend on the order of their
/// terms.
std::vector<double> tiedMagnitudes(int n, std::mt19937& random) {
  std::uniform_real_distribution<double> exponent(-4.0, 4.0);
  std::vector<double> pool;
  for (int k = 0; k <= n * (n - 1) / 8; ++k) pool.push_back(std::pow(10.0, exponent(random)));
  std::uniform_int_distribution<int> pick(0, static_cast<int>(pool.size()) - 1);
  std::vector<double> lower;
  for (int k = 0; k < n * (n - 1) / 2; ++k) lower.push_back(pool[pick(random)]);
  return lower;
}

/// Squared distances between points of a small grid of step 1/3: the ties a
/// geometric method meets on real data, and weights whose products round.
std::vector<double> gridPoints(int n, std::mt19937& random) {
  std::uniform_int_distribution<int> coordinate(0, 3);
  std::vector<std::vector<double>> points;
  for (int i = 0; i < n; ++i) points.push_back({coordinate(random) / 3.0, coordinate(random) / 3.0});
  return test::squaredEuclidean(points);
}

class OrderFreeTreeTest : public ::testing::Test {
 protected:
  test::MethodsFixture methods_;
};

TEST_F(OrderFreeTreeTest, EveryWorkingOrderGivesTheSameTreeToTheBit) {
  std::mt19937 random(20260101);
  for (int round = 0; round < 6; ++round) {
    const int n = 6 + 5 * round;
    const std::vector<std::vector<double>> data = {tieRich(n, 3, random), tieRich(n, 6, random, 7.0),
                                                   tiedMagnitudes(n, random), gridPoints(n, random),
                                                   gridPoints(n, random)};
    for (const auto& lower : data)
      for (const bool dissimilarity : {true, false}) {
        const auto matrix = makeMatrix(n, lower, dissimilarity);
        for (ClusterMethod* method : methods_.all()) {
          const std::string expected = describe(buildOrderFreeTree(*matrix, *method));
          for (int k = 0; k < 12; ++k) {
            const std::vector<int> order = shuffled(n, random);
            ASSERT_EQ(describe(buildOrderFreeTree(*matrix, *method, order.data())), expected)
                << method->getKeyword() << " n=" << n << (dissimilarity ? "" : " similarities") << " order " << k;
          }
        }
      }
  }
}

TEST_F(OrderFreeTreeTest, WithoutTiesEveryMergeIsThePairGroupMerge) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(0.5, 9.5);
  for (const int n : {2, 3, 9, 40}) {
    std::vector<double> lower;
    for (int k = 0; k < n * (n - 1) / 2; ++k) lower.push_back(value(random));
    for (const bool dissimilarity : {true, false}) {
      const auto matrix = makeMatrix(n, lower, dissimilarity);
      for (ClusterMethod* method : methods_.all()) {
        const bool ward = method == ClusterMethodFactory::getWard();
        const auto pairGroup = test::cluster(*matrix, *method, shuffled(n, random));
        const OrderFreeTree tree = buildOrderFreeTree(*matrix, *method);
        ASSERT_EQ(tree.getMerges().size(), static_cast<std::size_t>(n - 1)) << method->getKeyword();
        double previous = 0.0;
        for (int t = 0; t < n - 1; ++t) {
          const OrderFreeMerge& merge = tree.getMerges()[static_cast<std::size_t>(t)];
          ASSERT_EQ(merge.clusters, (std::vector<int>{pairGroup->getCluster1(t), pairGroup->getCluster2(t)}))
              << method->getKeyword() << " stage " << t;
          EXPECT_EQ(merge.lowest, merge.highest);
          // Ward's coefficients accumulate halves of the merge values; the
          // others are the merge values themselves, to the bit.
          const double coefficient = pairGroup->getCoefficient(t);
          if (ward)
            EXPECT_NEAR(merge.height, 2 * (coefficient - previous), 1e-12 * std::fabs(merge.height));
          else
            EXPECT_EQ(bits(merge.height), bits(coefficient)) << method->getKeyword() << " stage " << t;
          previous = coefficient;
        }
        EXPECT_NEAR(tree.getNormalizedSSDif(), pairGroup->getNormalizedSSDif(), 1e-11);
      }
    }
  }
}

// The clusters of a permutation's tree whose height differs from the height
// of the cluster that absorbs it (both to 13 digits), and the root.
std::set<std::vector<int>> unfoldedClusters(const ClusterSolution& solution) {
  const int n = solution.getObjectCount();
  std::vector<std::vector<int>> of(static_cast<std::size_t>(n));
  for (int o = 0; o < n; ++o) of[static_cast<std::size_t>(o)] = {o};
  std::vector<std::vector<int>> formed;
  for (int t = 0; t < solution.getStageCount(); ++t) {
    auto& first = of[static_cast<std::size_t>(solution.getCluster1(t))];
    auto& second = of[static_cast<std::size_t>(solution.getCluster2(t))];
    first.insert(first.end(), second.begin(), second.end());
    second.clear();
    std::sort(first.begin(), first.end());
    formed.push_back(first);
  }
  std::set<std::vector<int>> kept;
  for (int t = 0; t < solution.getStageCount(); ++t) {
    const int parent = solution.getNextStage(t);
    if (parent >= 0 && roundToSignificantDigits(solution.getCoefficient(t), 13) ==
                           roundToSignificantDigits(solution.getCoefficient(parent), 13))
      continue;
    kept.insert(formed[static_cast<std::size_t>(t)]);
  }
  return kept;
}

TEST_F(OrderFreeTreeTest, SingleLinkageHasTheHierarchyOfEveryPermutation) {
  std::mt19937 random(11);
  ClusterMethod& single = *ClusterMethodFactory::getSingleLinkage();
  for (int round = 0; round < 8; ++round) {
    const int n = 5 + 4 * round;
    for (const bool dissimilarity : {true, false}) {
      const auto matrix = makeMatrix(n, round % 2 ? tiedMagnitudes(n, random) : tieRich(n, 4, random), dissimilarity);
      // The binary form's joins of one merge share its height, so they fold
      // into it: what is left is one cluster per merge.
      const OrderFreeTree tree = buildOrderFreeTree(*matrix, single);
      const std::set<std::vector<int>> clusters = unfoldedClusters(tree.getBinaryForm());
      ASSERT_EQ(clusters.size(), tree.getMerges().size());
      for (int k = 0; k < 10; ++k)
        ASSERT_EQ(unfoldedClusters(*test::cluster(*matrix, single, shuffled(n, random))), clusters)
            << "n=" << n << " permutation " << k;
    }
  }
}

// Worked out by hand on five objects with dissimilarities
//        1  2  3  4
//   2    1
//   3    2  2
//   4    2  2  1
//   5    3  3  2  2
// Every method first joins {1,2} and {3,4} at 1 in one step. Then:
//   single, complete and between groups: the two pairs are 2 apart, {3,4} and
//     5 are 2 apart, {1,2} and 5 are 3 apart: one merge of all three at 2,
//     range 2 to 3.
//   within groups: the mean inside {1,2,3,4} is (8 + 1 + 1)/6 = 5/3, inside
//     {3,4,5} (4 + 1)/3 = 5/3 as well, inside {1,2,5} (6 + 1)/3 = 7/3: one
//     merge at 5/3, range 5/3 to 7/3.
//   centroid and median (all parts weigh the same here): {1,2} to {3,4} is
//     2 − 1/4 − 1/4 = 3/2, {3,4} to 5 is 2 − 1/4 = 7/4 and {1,2} to 5 is
//     3 − 1/4 = 11/4; {1,2,3,4} forms at 3/2, then joins 5 at
//     (11/4 + 7/4)/2 − 3/2 × 1/4 = 15/8.
//   Ward: {1,2} to {3,4} is (4 × 2 × 2 − 2 × 1 − 2 × 1)/4 = 3, {3,4} to 5 is
//     (4 × 2 − 1)/3 = 7/3 and {1,2} to 5 is (4 × 3 − 1)/3 = 11/3: {3,4,5}
//     forms at 7/3; it is (4 × 3 + 3 × 11/3 − 2 × 7/3)/5 = 11/3 from {1,2}.
struct WorkedMerge {
  std::vector<int> clusters;  // numbered from 1
  double height, lowest, highest;
};

TEST_F(OrderFreeTreeTest, FiveObjectsWorkedOutByHand) {
  const std::vector<double> lower = {1, 2, 2, 2, 2, 1, 3, 3, 2, 2};
  const std::vector<WorkedMerge> pairs = {{{1, 2}, 1, 1, 1}, {{3, 4}, 1, 1, 1}};
  const auto with = [&](std::vector<WorkedMerge> rest) {
    std::vector<WorkedMerge> all = pairs;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
  };
  const std::map<std::string, std::vector<WorkedMerge>> expected = {
      {"single", with({{{1, 3, 5}, 2, 2, 3}})},
      {"complete", with({{{1, 3, 5}, 2, 2, 3}})},
      {"average", with({{{1, 3, 5}, 2, 2, 3}})},
      {"within", with({{{1, 3, 5}, 5.0 / 3, 5.0 / 3, 7.0 / 3}})},
      {"centroid", with({{{1, 3}, 1.5, 1.5, 1.5}, {{1, 5}, 15.0 / 8, 15.0 / 8, 15.0 / 8}})},
      {"median", with({{{1, 3}, 1.5, 1.5, 1.5}, {{1, 5}, 15.0 / 8, 15.0 / 8, 15.0 / 8}})},
      {"ward", with({{{3, 5}, 7.0 / 3, 7.0 / 3, 7.0 / 3}, {{1, 3}, 11.0 / 3, 11.0 / 3, 11.0 / 3}})},
  };
  // The same proximities as similarities (10 − d) give the mirrored tree
  // for the methods whose rules do not assume distances.
  std::vector<double> similarities;
  for (const double d : lower) similarities.push_back(10 - d);
  for (ClusterMethod* method : methods_.all()) {
    const std::vector<WorkedMerge>& merges = expected.at(method->getKeyword());
    const OrderFreeTree tree = buildOrderFreeTree(*makeMatrix(5, lower), *method);
    ASSERT_EQ(tree.getMerges().size(), merges.size()) << method->getKeyword();
    for (std::size_t m = 0; m < merges.size(); ++m) {
      const OrderFreeMerge& merge = tree.getMerges()[m];
      std::vector<int> clusters;
      for (const int c : merge.clusters) clusters.push_back(c + 1);
      EXPECT_EQ(clusters, merges[m].clusters) << method->getKeyword() << " merge " << m;
      EXPECT_NEAR(merge.height, merges[m].height, 1e-14) << method->getKeyword() << " merge " << m;
      EXPECT_NEAR(merge.lowest, merges[m].lowest, 1e-14) << method->getKeyword() << " merge " << m;
      EXPECT_NEAR(merge.highest, merges[m].highest, 1e-14) << method->getKeyword() << " merge " << m;
    }
    const std::string keyword = method->getKeyword();
    if (keyword != "single" && keyword != "complete" && keyword != "average") continue;
    const OrderFreeTree mirrored = buildOrderFreeTree(*makeMatrix(5, similarities, false), *method);
    ASSERT_EQ(mirrored.getMerges().size(), merges.size());
    for (std::size_t m = 0; m < merges.size(); ++m) {
      EXPECT_EQ(mirrored.getMerges()[m].clusters, tree.getMerges()[m].clusters);
      EXPECT_EQ(mirrored.getMerges()[m].height, 10 - merges[m].height);
      EXPECT_EQ(mirrored.getMerges()[m].lowest, 10 - merges[m].highest);
    }
  }
}

// Single linkage on the five objects: the heights are 1 for the two pairs and
// 2 for the rest, so only the pairs (1,5) and (2,5) miss their proximity, by 1
// each: SSDif 2 of a sum of squares 2 × 1 + 6 × 4 + 2 × 9 = 44. Means: p 2,
// h 1.8, ph 3.8, pp 4.4, hh 3.4, so the correlation is
// 0.2 / √(0.4 × 0.16) = √(5/8). A chain 1–2–3 (1, 1, and 2 between its ends)
// is one merge at 1 whose one miss is the end pair's: SSDif 1 of 6, and no
// correlation (the heights do not vary).
TEST_F(OrderFreeTreeTest, TheFitUsesEachMergesHeightForEveryPairItJoins) {
  ClusterMethod& single = *ClusterMethodFactory::getSingleLinkage();
  const OrderFreeTree five = buildOrderFreeTree(*makeMatrix(5, {1, 2, 2, 2, 2, 1, 3, 3, 2, 2}), single);
  EXPECT_EQ(five.getNormalizedSSDif(), roundToSignificantDigits(2.0 / 44, 13));
  EXPECT_NEAR(five.getCopheneticCorrelation(), std::sqrt(5.0 / 8), 1e-14);
  const OrderFreeTree chain = buildOrderFreeTree(*makeMatrix(3, {1, 2, 1}), *ClusterMethodFactory::getCompleteLinkage());
  ASSERT_EQ(chain.getMerges().size(), 1u);
  EXPECT_EQ(chain.getMerges()[0].clusters, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(chain.getMerges()[0].highest, 2.0);
  EXPECT_EQ(chain.getNormalizedSSDif(), roundToSignificantDigits(1.0 / 6, 13));
  EXPECT_TRUE(std::isnan(chain.getCopheneticCorrelation()));
  // The binary form joins the chain's clusters in order, at the merge's height.
  EXPECT_EQ(chain.getBinaryForm().getCluster1(1), 0);
  EXPECT_EQ(chain.getBinaryForm().getCluster2(1), 2);
  EXPECT_EQ(chain.getBinaryForm().getCoefficient(1), 1.0);
  EXPECT_TRUE(buildOrderFreeTree(*makeMatrix(1, {}), single).getMerges().empty());
}

// Between groups: once 1 and 2 (numbered from 1) are joined, their mean
// distance to 3 is (0.1 + 0.2)/2, which as doubles comes out two units above
// 0.15 in the last place: still the 0.15 of 3 and 4 to 13 digits, so all of
// them join in one merge at 0.15 (exactly: the best pair's value).
TEST_F(OrderFreeTreeTest, NoiseInTheLastBitsDoesNotSplitATie) {
  const auto matrix = makeMatrix(4, {0.01, 0.1, 0.2, 0.9, 0.9, 0.15});
  const OrderFreeTree tree = buildOrderFreeTree(*matrix, *ClusterMethodFactory::getAverageLinkageBetweenGroups());
  ASSERT_EQ(tree.getMerges().size(), 2u);
  const OrderFreeMerge& merge = tree.getMerges()[1];
  EXPECT_EQ(merge.clusters, (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(merge.height, 0.15);
  EXPECT_EQ(merge.lowest, 0.15);
  EXPECT_EQ(merge.highest, 0.9);
}

// The geometric rules against what they stand for, on parts of random points
// in the plane joined into groups of several parts on both sides: the squared
// distance of the centroids (centroid), of the plain means of the parts'
// centres (median), and twice the rise of the sum of squares (Ward).
TEST_F(OrderFreeTreeTest, GeometricRulesJoinGroupsAsTheirPointsDo) {
  using Point = std::array<double, 2>;
  std::mt19937 random(3);
  std::uniform_real_distribution<double> coordinate(-2.0, 2.0);
  const auto squared = [](const Point& a, const Point& b) {
    return (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]);
  };
  for (const std::vector<int>& sizes : {std::vector<int>{2, 3, 1, 4}, std::vector<int>{2, 1, 3, 2, 2}}) {
    const int parts = static_cast<int>(sizes.size());
    const int split = parts / 2;  // parts 0 … split − 1 form the first group
    std::vector<Point> centre(sizes.size()), median(sizes.size());
    for (Point& p : centre) p = {coordinate(random), coordinate(random)};
    for (Point& p : median) p = {coordinate(random), coordinate(random)};
    // A group's centroid weighs its parts by size, its median centre equally.
    const auto pooled = [&](const std::vector<Point>& points, int from, int to, bool weighted) {
      Point m{0, 0};
      double total = 0;
      for (int i = from; i < to; ++i) total += weighted ? sizes[i] : 1;
      for (int i = from; i < to; ++i)
        for (int d = 0; d < 2; ++d) m[d] += points[i][d] * (weighted ? sizes[i] : 1) / total;
      return std::pair{m, total};
    };
    const auto [firstCentre, nFirst] = pooled(centre, 0, split, true);
    const auto [secondCentre, nSecond] = pooled(centre, split, parts, true);
    const struct {
      GroupLinkage::Kind kind;
      std::function<double(int, int)> cell;
      double expected;
    } rules[] = {
        {GroupLinkage::Kind::centroid, [&](int i, int j) { return squared(centre[i], centre[j]); },
         squared(firstCentre, secondCentre)},
        {GroupLinkage::Kind::median, [&](int i, int j) { return squared(median[i], median[j]); },
         squared(pooled(median, 0, split, false).first, pooled(median, split, parts, false).first)},
        {GroupLinkage::Kind::ward,
         [&](int i, int j) { return 2.0 * sizes[i] * sizes[j] / (sizes[i] + sizes[j]) * squared(centre[i], centre[j]); },
         2.0 * nFirst * nSecond / (nFirst + nSecond) * squared(firstCentre, secondCentre)},
    };
    std::vector<int> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    for (const auto& rule : rules) {
      SimilarityMatrix cells(true, parts);
      for (int i = 1; i < parts; ++i)
        for (int j = 0; j < i; ++j) cells.setProximity(i, j, rule.cell(i, j));
      const GroupLinkage linkage(rule.kind, true);
      GroupLinkage::Group first{order.data(), split};
      GroupLinkage::Group second{order.data() + split, parts - split};
      linkage.prepare(cells, sizes.data(), first);
      linkage.prepare(cells, sizes.data(), second);
      EXPECT_NEAR(linkage.combine(cells, sizes.data(), first, second), rule.expected, 1e-12 * rule.expected)
          << static_cast<int>(rule.kind) << " with " << parts << " parts";
    }
  }
}

}  // namespace
}  // namespace korvana
