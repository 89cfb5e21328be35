#include "engine/SimilarityMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EngineTestSupport.h"

namespace korvana {
namespace {

// Dissimilarities   0  1
//               1   2
//               2   1  1
const std::vector<double> kTies = {2, 1, 1};

TEST(SimilarityMatrix, InitialNearestNeighbourIsTheLastOfEquallyNearColumns) {
  const auto matrix = test::makeMatrix(3, kTies);
  SimilarityMatrix working(true, 3);
  const int identity[] = {0, 1, 2};
  working.fillFromMatrix(*matrix, identity);
  EXPECT_EQ(working.getNearest(2), 1);
  EXPECT_EQ(working.getNearestValue(2), 1.0);
  EXPECT_EQ(working.getNearest(1), 0);
  EXPECT_EQ(working.getNearestValue(1), 2.0);
  EXPECT_EQ(working.getNearest(0), -1);
  EXPECT_EQ(working.getNearestValue(0), 1e50);
}

TEST(SimilarityMatrix, SimilaritiesSearchUpwards) {
  const auto matrix = test::makeMatrix(3, kTies, false);
  SimilarityMatrix working(false, 3);
  const int identity[] = {0, 1, 2};
  working.fillFromMatrix(*matrix, identity);
  EXPECT_EQ(working.getNearest(2), 1);
  EXPECT_EQ(working.getNearestValue(2), 1.0);
  EXPECT_EQ(working.getNearest(1), 0);
  EXPECT_EQ(working.getNearestValue(0), -1e50);
}

TEST(SimilarityMatrix, PermutationRenumbersTheObjects) {
  //      0  1  2  3
  //  1   1
  //  2   2  3
  //  3   4  5  6
  const auto matrix = test::makeMatrix(4, {1, 2, 3, 4, 5, 6});
  SimilarityMatrix working(true, 4);
  const int permutation[] = {3, 1, 0, 2};
  working.fillFromMatrix(*matrix, permutation);
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < 4; ++b) {
      if (a != b) {
        EXPECT_EQ(working.getProximity(a, b), matrix->getProximity(permutation[a], permutation[b]));
      }
    }
  // Row 3 (object 2) holds 6, 3, 2: its nearest is working index 2 (object 0).
  EXPECT_EQ(working.getNearest(3), 2);
  EXPECT_EQ(working.getNearestValue(3), 2.0);

  // Refilling with another permutation overwrites everything.
  const int identity[] = {0, 1, 2, 3};
  working.setProximity(3, 0, 99);
  working.fillFromMatrix(*matrix, identity);
  EXPECT_EQ(working.getProximity(0, 3), 4.0);
  EXPECT_EQ(working.getNearest(3), 0);
}

TEST(SimilarityMatrix, ANotANumberCandidateIsTaken) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto matrix = test::makeMatrix(3, {1, nan, 5});
  SimilarityMatrix working(true, 3);
  const int identity[] = {0, 1, 2};
  working.fillFromMatrix(*matrix, identity);
  // Column 0 is NaN and taken; column 1 (5) compared with NaN is taken too.
  EXPECT_EQ(working.getNearest(2), 1);
  EXPECT_EQ(working.getNearestValue(2), 5.0);
}

}  // namespace
}  // namespace korvana
