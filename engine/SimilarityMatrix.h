// The working matrix of one agglomeration run: the proximities of the
// ProximityMatrix renumbered by a permutation (working object i is matrix object
// permutation[i]), which the cluster methods overwrite as clusters merge, and
// for every row its current nearest neighbour among the lower rows.
//
// Cell (i, j) is kept in row max(i, j) at column min(i, j), so the nearest
// neighbour of a row always has a lower index and row 0 never has one
// (nearest −1). The rows are laid out in one of two ways:
//   - triangle: only the strict lower triangle is stored, row after row;
//   - square: every row is whole, and each pair is kept twice, at (i, j) and
//     at (j, i). A merge then reads the rows of the two clusters it joins
//     from one end to the other instead of walking their columns (one cache
//     line per cell), but writes each updated cell twice and takes twice the
//     memory (workingLayoutFor in ClusterMethod.h).
// One matrix is allocated per analysis and refilled for every permutation.
#pragma once

#include <cstddef>
#include <vector>

#include "common/DoubleBlock.h"
#include "engine/ExtendedPrecision.h"

namespace korvana {

class ProximityMatrix;

enum class WorkingLayout { triangle, square };

/// Whether the working matrices of `jobs` runs at once on n objects may be
/// square: while the memory that takes beyond triangles, with the proximities
/// as whole rows (ProximityMatrix::makeSquareRows) that go with it, stays
/// within kSquareWorkingExtraBytes. (Which layout pays depends on the method:
/// workingLayoutFor in ClusterMethod.h.)
bool squareLayoutFits(int n, int jobs);
inline constexpr std::size_t kSquareWorkingExtraBytes = std::size_t{512} << 20;
/// The bytes of the working matrix (its cells and its nearest neighbours).
std::size_t workingMatrixBytes(int n, WorkingLayout layout);

class SimilarityMatrix {
 public:
  SimilarityMatrix(bool isDissimilarity, int size, WorkingLayout layout = WorkingLayout::triangle);
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
  bool isSquare() const { return layout_ == WorkingLayout::square; }

  /// Cell (a, b), a ≠ b, in either order.
  double getProximity(int a, int b) const { return a > b ? cell(a, b) : cell(b, a); }
  void setProximity(int a, int b, double value) {
    if (a > b) cell(a, b) = value;
    else cell(b, a) = value;
  }
  /// Cell (row, column) with row > column (any other in the square layout):
  /// the hot path.
  double& cell(int row, int column) { return rows_[static_cast<std::size_t>(row)][column]; }
  double cell(int row, int column) const { return rows_[static_cast<std::size_t>(row)][column]; }
  /// Row `row` (row ≥ 1): its cells in column order, `row` of them (the
  /// whole row of getSize() in the square layout).
  double* rowCells(int row) { return rows_[static_cast<std::size_t>(row)]; }
  const double* rowCells(int row) const { return rows_[static_cast<std::size_t>(row)]; }

  int getNearest(int i) const { return nearest_[static_cast<std::size_t>(i)]; }
  void setNearest(int i, int j) { nearest_[static_cast<std::size_t>(i)] = j; }
  double getNearestValue(int i) const { return nearestValue_[static_cast<std::size_t>(i)]; }
  void setNearestValue(int i, double value) { nearestValue_[static_cast<std::size_t>(i)] = value; }

 private:
  template <Direction dir>
  void fill(const ProximityMatrix& matrix, const int* permutation, int firstRow, int endRow);

  /// The square layout: the cells above the diagonal of rows [firstRow,
  /// endRow) from those below it.
  void mirrorRows(int firstRow, int endRow);

  bool isDissimilarity_;
  int size_;
  WorkingLayout layout_;
  DoubleBlock cells_;
  std::vector<double*> rows_;  // where each row starts
  std::vector<int> nearest_;
  std::vector<double> nearestValue_;
};

}  // namespace korvana
