#include "engine/SimilarityMatrix.h"

#include <algorithm>
#include <string>

#include "common/EKorvanaError.h"
#include "common/TriangularStorage.h"
#include "engine/ProximityMatrix.h"

namespace korvana {

bool squareLayoutFits(int n, int jobs) {
  const auto size = static_cast<std::size_t>(std::max(n, 0));
  const std::size_t square = size * size * sizeof(double);
  const std::size_t extra = square - TriangularStorage::offset(std::max(n, 0)) * sizeof(double);
  return square + extra * static_cast<std::size_t>(std::max(jobs, 1)) <= kSquareWorkingExtraBytes;
}

std::size_t workingMatrixBytes(int n, WorkingLayout layout) {
  const auto size = static_cast<std::size_t>(std::max(n, 0));
  const std::size_t cells = layout == WorkingLayout::square ? size * size : TriangularStorage::offset(std::max(n, 0));
  return cells * sizeof(double) + size * (sizeof(int) + 2 * sizeof(double));
}

SimilarityMatrix::SimilarityMatrix(bool isDissimilarity, int size, WorkingLayout layout)
    : isDissimilarity_(isDissimilarity), size_(size), layout_(layout) {
  if (size < 0) throw EKorvanaError("The number of objects cannot be negative");
  const auto n = static_cast<std::size_t>(size);
  const bool square = layout == WorkingLayout::square;
  // Every cell is written by fillFromMatrix.
  cells_ = DoubleBlock(square ? n * n : TriangularStorage::offset(size), false);
  rows_.resize(n);
  for (std::size_t i = 0; i < n; ++i) rows_[i] = cells_.data() + (square ? i * n : TriangularStorage::offset(static_cast<int>(i)));
  nearest_.resize(n);
  nearestValue_.resize(n);
}

template <Direction dir>
void SimilarityMatrix::fill(const ProximityMatrix& matrix, const int* permutation, int firstRow, int endRow) {
  // From whole rows each row of the working matrix is gathered from one row
  // of the proximities; from the lower triangle half the reads walk a column,
  // scattered over the matrix, so a few columns are fetched ahead to keep
  // several cache misses in flight at once.
  constexpr int kAhead = 16;
  const double* square = matrix.squareRows();
  const auto n = static_cast<std::size_t>(size_);
  for (int i = firstRow; i < endRow; ++i) {
    double* out = rows_[static_cast<std::size_t>(i)];
    const int pi = permutation[i];
    const double* source = square ? square + static_cast<std::size_t>(pi) * n : nullptr;
    int nearest = -1;
    double nearestValue = worstValue<dir>();
    for (int j = 0; j < i; ++j) {
      const int pj = permutation[j];
      double v;
      if (source) {
        v = source[pj];
      } else {
        if (j + kAhead < i) {
          const int pa = permutation[j + kAhead];
          __builtin_prefetch(pi > pa ? &matrix.lowerValueRef(pi, pa) : &matrix.lowerValueRef(pa, pi));
        }
        v = pi > pj ? matrix.lowerValue(pi, pj) : matrix.lowerValue(pj, pi);
      }
      out[j] = v;
      // Equality is accepted: the last of equally near columns wins.
      if (isAtLeastAsGood<dir>(v, nearestValue)) {
        nearest = j;
        nearestValue = v;
      }
    }
    if (source && isSquare()) {
      for (std::size_t j = static_cast<std::size_t>(i); j < n; ++j) out[j] = source[permutation[j]];
    }
    nearest_[static_cast<std::size_t>(i)] = nearest;
    nearestValue_[static_cast<std::size_t>(i)] = nearestValue;
  }
  // Whole rows gathered need no mirroring.
  if (isSquare() && !square) mirrorRows(firstRow, endRow);
}

void SimilarityMatrix::fillFromMatrix(const ProximityMatrix& matrix, const int* permutation) {
  fillRows(matrix, permutation, 0, size_);
}

void SimilarityMatrix::fillRows(const ProximityMatrix& matrix, const int* permutation, int firstRow, int endRow) {
  if (matrix.getNumberOfObjects() != size_)
    throw EKorvanaError("The working matrix holds " + std::to_string(size_) +
                        " objects, the proximity matrix " +
                        std::to_string(matrix.getNumberOfObjects()));
  if (firstRow < 0 || endRow > size_ || firstRow > endRow)
    throw EKorvanaError("Rows " + std::to_string(firstRow) + " to " + std::to_string(endRow) +
                        " are not a range of the working matrix of " + std::to_string(size_) + " objects");
  if (isDissimilarity_) fill<Direction::dissimilarity>(matrix, permutation, firstRow, endRow);
  else fill<Direction::similarity>(matrix, permutation, firstRow, endRow);
}

void SimilarityMatrix::mirrorRows(int firstRow, int endRow) {
  // Tile by tile, so that the columns written stay in the cache. The cells
  // written lie above the diagonal of rows below endRow, which a fill of
  // other rows at the same time never touches.
  constexpr int kTile = 32;
  for (int i0 = firstRow; i0 < endRow; i0 += kTile) {
    const int i1 = std::min(endRow, i0 + kTile);
    for (int j0 = 0; j0 < i1 - 1; j0 += kTile) {
      const int j1 = std::min(i1 - 1, j0 + kTile);
      for (int j = j0; j < j1; ++j) {
        double* column = rows_[static_cast<std::size_t>(j)];
        for (int i = std::max(i0, j + 1); i < i1; ++i) column[i] = rows_[static_cast<std::size_t>(i)][j];
      }
    }
  }
}

}  // namespace korvana
