// The read-only proximity matrix of an analysis: the symmetric proximities
// between n objects (cases or variables), stored as the strict lower triangle
// in one block. Row i holds the i proximities of object i to the objects
// 0 … i − 1; the diagonal reads as 0 and the upper triangle as its mirror.
//
// The matrix is filled once per analysis (by the matrix-file reader, or in
// memory with appendRow / assignLowerTriangle) and never changed afterwards. Its
// direction (dissimilarities or similarities) sets the direction of every
// comparison of the clustering.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/ProximityMatrixRow.h"
#include "common/TriangularStorage.h"

namespace korvana {

class ByteReader;
class ByteWriter;

class ProximityMatrix {
 public:
  ProximityMatrix() = default;
  ProximityMatrix(const ProximityMatrix&) = delete;
  ProximityMatrix& operator=(const ProximityMatrix&) = delete;

  /// Makes room for n objects at once (appendRow grows the block otherwise).
  void reserve(int n);
  /// Appends the row of the next object, with its values set to 0.
  ProximityMatrixRow& appendRow(std::string name, std::string rowType);

  /// Fills an empty matrix in memory from the strict lower triangle given row
  /// by row ((1,0), (2,0), (2,1), (3,0), …); objects are named by `names`, or
  /// "1", "2", … when `names` is empty. Computes the sum of squares.
  void assignLowerTriangle(int n, const std::vector<double>& lowerTriangle,
                           const std::vector<std::string>& names = {});

  /// Sum of the squares of all stored proximities, each unordered pair once.
  void computeSumOfSquares();

  /// Everything but the values, as bytes (the objects' names, labels, row
  /// types and case numbers, and the flags); and an empty matrix filled from
  /// them, its values 0 until they are written into lowerTriangle().
  void encodeDescription(ByteWriter& out) const;
  void decodeDescription(ByteReader& in);
  /// The stored values, row after row: TriangularStorage::offset(n) of them.
  double* lowerTriangle() { return values_.data(); }
  const double* lowerTriangle() const { return values_.data(); }

  int getNumberOfObjects() const { return static_cast<int>(rows_.size()); }

  /// The proximity between objects a and b (both below n): 0 when a = b.
  double getProximity(int a, int b) const {
    if (a == b) return 0.0;
    return a > b ? lowerValue(a, b) : lowerValue(b, a);
  }
  /// The same for a > b: the hot path of the clustering.
  double lowerValue(int a, int b) const { return lowerValueRef(a, b); }
  const double& lowerValueRef(int a, int b) const {
    return values_.data()[TriangularStorage::offset(a) + static_cast<std::size_t>(b)];
  }

  /// A copy of the proximities as whole rows (n × n, the diagonal 0), for the
  /// clustering to read a row from end to end where the lower triangle would
  /// have it walk a column: filling a working matrix in permuted order and
  /// summing the fit. Made once the matrix is filled, where memory allows
  /// (twice the triangle); null until then and once dropped.
  void makeSquareRows();
  void dropSquareRows() { squareRows_ = DoubleBlock(); hasSquareRows_ = false; }
  const double* squareRows() const { return hasSquareRows_ ? squareRows_.data() : nullptr; }

  /// The label shown for object i: with case numbers the case label (empty
  /// without a label variable), otherwise the object's name.
  const std::string& getObjectLabel(int i) const;

  ProximityMatrixRow& getRow(int i) { return *rows_[static_cast<std::size_t>(i)]; }
  const ProximityMatrixRow& getRow(int i) const { return *rows_[static_cast<std::size_t>(i)]; }

  bool isDissimilarity() const { return isDissimilarity_; }
  bool isSquaredEuclidean() const { return isSquaredEuclidean_; }
  bool hasLabelVariable() const { return hasLabelVariable_; }
  bool hasCaseNumbers() const { return hasCaseNumbers_; }
  bool hasObjectLabels() const { return hasObjectLabels_; }
  double getSumOfSquares() const { return sumOfSquares_; }

  void setIsDissimilarity(bool value) { isDissimilarity_ = value; }
  void setIsSquaredEuclidean(bool value) { isSquaredEuclidean_ = value; }
  void setHasLabelVariable(bool value) { hasLabelVariable_ = value; }
  void setHasCaseNumbers(bool value) { hasCaseNumbers_ = value; }
  void setHasObjectLabels(bool value) { hasObjectLabels_ = value; }

 private:
  std::vector<std::unique_ptr<ProximityMatrixRow>> rows_;
  TriangularStorage values_;  // room for values_.rows() objects
  DoubleBlock squareRows_;
  bool hasSquareRows_ = false;
  bool isDissimilarity_ = true;
  bool isSquaredEuclidean_ = false;
  bool hasLabelVariable_ = false;
  bool hasCaseNumbers_ = false;
  bool hasObjectLabels_ = false;
  double sumOfSquares_ = 0.0;
};

}  // namespace korvana
