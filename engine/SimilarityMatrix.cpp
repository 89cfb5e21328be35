#include "engine/SimilarityMatrix.h"

#include <string>

#include "common/EKorvanaError.h"
#include "engine/ProximityMatrix.h"

namespace korvana {

SimilarityMatrix::SimilarityMatrix(bool isDissimilarity, int size)
    : isDissimilarity_(isDissimilarity), size_(size) {
  if (size < 0) throw EKorvanaError("The number of objects cannot be negative");
  const auto n = static_cast<std::size_t>(size);
  cells_ = TriangularStorage(size, false);  // every cell is written by fillFromMatrix
  nearest_.resize(n);
  nearestValue_.resize(n);
}

template <Direction dir>
void SimilarityMatrix::fill(const ProximityMatrix& matrix, const int* permutation, int firstRow, int endRow) {
  // The reads are scattered over the proximity matrix: fetch a few columns
  // ahead so that several cache misses are in flight at once.
  constexpr int kAhead = 16;
  double* out = cells_.data() + TriangularStorage::offset(firstRow);
  for (int i = firstRow; i < endRow; ++i) {
    const int pi = permutation[i];
    int nearest = -1;
    double nearestValue = worstValue<dir>();
    for (int j = 0; j < i; ++j) {
      if (j + kAhead < i) {
        const int pa = permutation[j + kAhead];
        __builtin_prefetch(pi > pa ? &matrix.lowerValueRef(pi, pa) : &matrix.lowerValueRef(pa, pi));
      }
      const int pj = permutation[j];
      const double v = pi > pj ? matrix.lowerValue(pi, pj) : matrix.lowerValue(pj, pi);
      *out++ = v;
      // Equality is accepted: the last of equally near columns wins.
      if (isAtLeastAsGood<dir>(v, nearestValue)) {
        nearest = j;
        nearestValue = v;
      }
    }
    nearest_[static_cast<std::size_t>(i)] = nearest;
    nearestValue_[static_cast<std::size_t>(i)] = nearestValue;
  }
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

}  // namespace korvana
