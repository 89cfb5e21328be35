#include "engine/ProximityMatrix.h"

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "common/EKorvanaError.h"

namespace korvana {
namespace {

TEST(ProximityMatrix, ReadsTheLowerTriangleSymmetricallyWithAZeroDiagonal) {
  //      0  1  2
  //  1   5
  //  2   7  9
  const auto matrix = test::makeMatrix(3, {5, 7, 9});
  EXPECT_EQ(matrix->getNumberOfObjects(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(matrix->getProximity(i, i), 0.0);
  EXPECT_EQ(matrix->getProximity(1, 0), 5.0);
  EXPECT_EQ(matrix->getProximity(0, 1), 5.0);
  EXPECT_EQ(matrix->getProximity(0, 2), 7.0);
  EXPECT_EQ(matrix->getProximity(2, 1), 9.0);
  EXPECT_EQ(matrix->getProximity(1, 2), 9.0);
  EXPECT_EQ(matrix->getSumOfSquares(), 25.0 + 49.0 + 81.0);
}

TEST(ProximityMatrix, SumOfSquaresOfTinyMatrices) {
  EXPECT_EQ(test::makeMatrix(0, {})->getSumOfSquares(), 0.0);
  EXPECT_EQ(test::makeMatrix(1, {})->getSumOfSquares(), 0.0);
  EXPECT_EQ(test::makeMatrix(2, {-3})->getSumOfSquares(), 9.0);
}

TEST(ProximityMatrix, ObjectLabelsAreNamesWithoutCaseNumbersAndLabelsWithThem) {
  ProximityMatrix matrix;
  matrix.assignLowerTriangle(2, {1}, {"VAR1", "VAR2"});
  EXPECT_EQ(matrix.getObjectLabel(0), "VAR1");
  EXPECT_EQ(matrix.getObjectLabel(1), "VAR2");
  matrix.setHasCaseNumbers(true);
  // Case numbers but no label variable: every label is empty.
  EXPECT_EQ(matrix.getObjectLabel(0), "");
  EXPECT_EQ(matrix.getObjectLabel(1), "");
}

TEST(ProximityMatrix, RejectsInconsistentInput) {
  ProximityMatrix matrix;
  EXPECT_THROW(matrix.assignLowerTriangle(3, {1, 2}), EKorvanaError);
  EXPECT_THROW(matrix.assignLowerTriangle(2, {1}, {"only one name"}), EKorvanaError);
  matrix.assignLowerTriangle(2, {1});
  EXPECT_THROW(matrix.assignLowerTriangle(2, {1}), EKorvanaError);
}

TEST(ProximityMatrixRow, HoldsItsValuesAndAttributes) {
  ProximityMatrix matrix;
  for (int i = 0; i < 3; ++i) matrix.appendRow("o" + std::to_string(i), "PROX");
  ProximityMatrixRow& row = matrix.appendRow("obj", "PROX");
  EXPECT_EQ(row.getPosition(), 3);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(row.getValue(j), 0.0);
  row.setValue(2, 4.5);
  row.setLabel("label");
  row.setCaseNumber(-2);
  EXPECT_EQ(row.getValue(2), 4.5);
  EXPECT_EQ(row.getLabel(), "label");
  EXPECT_EQ(row.getCaseNumber(), -2);
  EXPECT_EQ(row.getRowType(), "PROX");
  EXPECT_EQ(matrix.getProximity(3, 2), 4.5);
}

TEST(ProximityMatrix, GrowsRowByRowKeepingEarlierValues) {
  ProximityMatrix matrix;
  const int n = 100;  // beyond the first block, so the values are moved
  for (int i = 0; i < n; ++i) {
    ProximityMatrixRow& row = matrix.appendRow("o", "PROX");
    for (int j = 0; j < i; ++j) row.setValue(j, i * 1000.0 + j);
  }
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      ASSERT_EQ(matrix.getProximity(i, j), i * 1000.0 + j);
      ASSERT_EQ(matrix.getRow(i).getValue(j), i * 1000.0 + j);
    }
}

}  // namespace
}  // namespace korvana
