#include "engine/ClusterSolution.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "EngineTestSupport.h"
#include "engine/ClusterMethodFactory.h"

namespace korvana {
namespace {

std::string hex(const SolutionId& id) {
  std::string text;
  char byte[3];
  for (auto b : id) {
    std::snprintf(byte, sizeof byte, "%02x", b);
    text += byte;
  }
  return text;
}

TEST(ClusterSolution, ThreeEqualObjectsScheduleLinksIdAndFit) {
  test::MethodsFixture methods;
  const auto matrix = test::makeMatrix(3, {1, 1, 1});
  const auto s = test::cluster(*matrix, *ClusterMethodFactory::getSingleLinkage());
  ASSERT_EQ(s->getStageCount(), 2);
  EXPECT_EQ(s->getCluster1(0), 1);
  EXPECT_EQ(s->getCluster2(0), 2);
  EXPECT_EQ(s->getCluster1(1), 0);
  EXPECT_EQ(s->getCluster2(1), 1);
  EXPECT_EQ(s->getFirstAppears1(0), -1);
  EXPECT_EQ(s->getFirstAppears2(0), -1);
  EXPECT_EQ(s->getFirstAppears1(1), -1);
  EXPECT_EQ(s->getFirstAppears2(1), 0);
  EXPECT_EQ(s->getNextStage(0), 1);
  EXPECT_EQ(s->getNextStage(1), -1);
  // MD5 of the text "(2,3)(1,2)" (independently computed with Python's hashlib).
  EXPECT_EQ(hex(s->getSolutionId()), "fc9f03fbd08f9857e1a0a457e5fe573f");
  EXPECT_EQ(s->getNormalizedSSDif(), 0.0);
  EXPECT_TRUE(std::isnan(s->getCopheneticCorrelation()));  // the heights do not vary
}

TEST(ClusterSolution, FitOfAHandWorkedExample) {
  test::MethodsFixture methods;
  // 0–1: 1, 0–2: 2, 1–2: 4. Single linkage: heights 1, 2, 2.
  // SSDif = (4 − 2)² = 4 over Σp² = 21; correlation 4 / √28.
  const auto matrix = test::makeMatrix(3, {1, 2, 4});
  const auto s = test::cluster(*matrix, *ClusterMethodFactory::getSingleLinkage());
  EXPECT_NEAR(s->getUnroundedNormalizedSSDif(), 4.0 / 21.0, 1e-16);
  EXPECT_NEAR(s->getCopheneticCorrelation(), 4.0 / std::sqrt(28.0), 1e-15);
  // The kept value is the 13-significant-digit rounding of the running value.
  char text[64];
  std::snprintf(text, sizeof text, "%.12e", s->getUnroundedNormalizedSSDif());
  EXPECT_EQ(s->getNormalizedSSDif(), std::strtod(text, nullptr));
  EXPECT_NE(s->getNormalizedSSDif(), s->getUnroundedNormalizedSSDif());
}

TEST(ClusterSolution, WardFitUsesTheMergeValuesAsHeights) {
  test::MethodsFixture methods;
  // Points 0, 1, 5, 7: merge values 1, 4, 60.5; coefficients 0.5, 2.5, 32.75.
  const auto matrix = test::makeMatrix(4, test::squaredEuclidean({{0}, {1}, {5}, {7}}));
  const auto s = test::cluster(*matrix, *ClusterMethodFactory::getWard());
  // Pairs: (0,1) p 1 h 1; (2,3) p 4 h 4; four cross pairs p 25, 49, 16, 36 at h 60.5.
  const double sumOfSquares = 1 + 16 + 625 + 2401 + 256 + 1296;
  const double ssdif = std::pow(60.5 - 25, 2) + std::pow(60.5 - 49, 2) + std::pow(60.5 - 16, 2) + std::pow(60.5 - 36, 2);
  EXPECT_NEAR(s->getUnroundedNormalizedSSDif(), ssdif / sumOfSquares, 1e-15);
}

TEST(ClusterSolution, AllZeroProximitiesLeaveTheNormalizedFitUndefined) {
  test::MethodsFixture methods;
  const auto matrix = test::makeMatrix(4, {0, 0, 0, 0, 0, 0});
  for (ClusterMethod* method : methods.all()) {
    const auto s = test::cluster(*matrix, *method);
    EXPECT_TRUE(std::isnan(s->getNormalizedSSDif())) << method->getName();
    EXPECT_TRUE(std::isnan(s->getCopheneticCorrelation())) << method->getName();
  }
}

TEST(ClusterSolution, TheIdDependsOnTheMergesAndTheirOrderOnly) {
  test::MethodsFixture methods;
  // Same merges, different coefficients (single 1, 1; centroid 1, 0.75).
  const auto equal = test::makeMatrix(3, {1, 1, 1});
  const auto single = test::cluster(*equal, *ClusterMethodFactory::getSingleLinkage());
  const auto centroid = test::cluster(*equal, *ClusterMethodFactory::getCentroid());
  EXPECT_NE(single->getCoefficient(1), centroid->getCoefficient(1));
  EXPECT_TRUE(single->isSameSolution(*centroid));

  //      0  1  2
  //  1   1
  //  2   5  5
  //  3   5  5  1
  // Identity order merges (2,3) first (the last of the equal rows), the
  // reversed order (0,1) first: the same pairs in another order.
  const auto pairs = test::makeMatrix(4, {1, 5, 5, 5, 5, 1});
  const auto forward = test::cluster(*pairs, *ClusterMethodFactory::getSingleLinkage());
  const auto backward = test::cluster(*pairs, *ClusterMethodFactory::getSingleLinkage(), {3, 2, 1, 0});
  EXPECT_EQ(forward->getCluster1(0), 2);
  EXPECT_EQ(backward->getCluster1(0), 0);
  EXPECT_EQ(forward->getNormalizedSSDif(), backward->getNormalizedSSDif());
  EXPECT_FALSE(forward->isSameSolution(*backward));
}

TEST(ClusterSolution, AnEmptyScheduleHashesTheEmptyText) {
  ClusterSolution s(1, 0.0, 0, {0}, 0, true);
  s.computeRoundedFit();
  s.computeSolutionId();
  EXPECT_EQ(hex(s.getSolutionId()), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
}  // namespace korvana
