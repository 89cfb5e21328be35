// The working matrix of one agglomeration run: the proximities of the
// ProximityMatrix renumbered by a permutation (working object i is matrix object
// permutation[i]), which the cluster methods overwrite as clusters merge, and
// for every row its current nearest neighbour among the lower rows.
//
// Only the strict lower triangle is stored: cell (i, j) lives in row max(i, j)
// at column min(i, j), so the nearest neighbour of a row always has a lower
// index and row 0 never has one (nearest −1). One matrix is allocated per
// analysis and refilled for every permutation.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/ExtendedPrecision.h"
#include "common/TriangularStorage.h"

namespace korvana {

class ProximityMatrix;

class SimilarityMatrix {
 public:
  SimilarityMatrix(bool isDissimilarity, int size);
  SimilarityMatrix(const SimilarityMatrix&) = delete;
  SimilarityMatrix& operator=(const SimilarityMatrix&) = delete;

  /// Loads the proximities of `permutation` (n entries) from `matrix` and the
  /// initial nearest neighbours: per row, the last (highest) column among the
  /// equally near ones.
  void fillFromMatrix(const ProximityMatrix& matrix, const int* permutation);
  /// The same for rows [firstRow, endRow) only: rows are independent, so two
  /// threads may fill disjoint ranges at once. The matrix sizes must agree.
  void fillRows(const ProximityMatrix& matrix, const int* permutation, int firstRow, int endRow);

  bool isDissimilarity() const { return isDissimilarity_; }
  int getSize() const { return size_; }

  /// Cell (a, b), a ≠ b, in either order.
  double getProximity(int a, int b) const { return a > b ? cell(a, b) : cell(b, a); }
  void setProximity(int a, int b, double value) {
    if (a > b) cell(a, b) = value;
    else cell(b, a) = value;
  }
  /// Cell (row, column) with row > column: the hot path.
  double& cell(int row, int column) { return cells_.data()[TriangularStorage::offset(row) + static_cast<std::size_t>(column)]; }
  double cell(int row, int column) const { return cells_.data()[TriangularStorage::offset(row) + static_cast<std::size_t>(column)]; }
  /// Row `row` (row ≥ 1): its `row` cells in column order.
  double* rowCells(int row) { return cells_.row(row); }
  const double* rowCells(int row) const { return cells_.row(row); }

  int getNearest(int i) const { return nearest_[static_cast<std::size_t>(i)]; }
  void setNearest(int i, int j) { nearest_[static_cast<std::size_t>(i)] = j; }
  double getNearestValue(int i) const { return nearestValue_[static_cast<std::size_t>(i)]; }
  void setNearestValue(int i, double value) { nearestValue_[static_cast<std::size_t>(i)] = value; }

 private:
  template <Direction dir>
  void fill(const ProximityMatrix& matrix, const int* permutation, int firstRow, int endRow);

  bool isDissimilarity_;
  int size_;
  TriangularStorage cells_;
  std::vector<int> nearest_;
  std::vector<double> nearestValue_;
};

}  // namespace korvana
