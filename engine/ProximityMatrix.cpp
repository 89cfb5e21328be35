#include "engine/ProximityMatrix.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/ExtendedPrecision.h"
#include "common/ByteCodec.h"
#include "common/EKorvanaError.h"

namespace korvana {

void ProximityMatrix::reserve(int n) {
  if (n <= values_.rows()) return;
  TriangularStorage grown(n);
  const int count = getNumberOfObjects();
  if (count > 1) std::memcpy(grown.data(), values_.data(), TriangularStorage::offset(count) * sizeof(double));
  for (int i = 0; i < count; ++i) rows_[static_cast<std::size_t>(i)]->values_ = grown.row(i);
  values_ = std::move(grown);
}

ProximityMatrixRow& ProximityMatrix::appendRow(std::string name, std::string rowType) {
  const int position = getNumberOfObjects();
  if (position == values_.rows()) reserve(std::max(16, position * 2));
  rows_.push_back(std::unique_ptr<ProximityMatrixRow>(
      new ProximityMatrixRow(position, values_.row(position), std::move(name), std::move(rowType))));
  return *rows_.back();
}

void ProximityMatrix::assignLowerTriangle(int n, const std::vector<double>& lowerTriangle,
                                          const std::vector<std::string>& names) {
  if (!rows_.empty()) throw EKorvanaError("The proximity matrix is already filled");
  if (n < 0) throw EKorvanaError("The number of objects cannot be negative");
  if (lowerTriangle.size() != TriangularStorage::offset(n))
    throw EKorvanaError("A lower triangle of " + std::to_string(n) + " objects needs " +
                        std::to_string(TriangularStorage::offset(n)) + " values, not " +
                        std::to_string(lowerTriangle.size()));
  if (!names.empty() && names.size() != static_cast<std::size_t>(n))
    throw EKorvanaError("Expected " + std::to_string(n) + " object names, not " + std::to_string(names.size()));
  reserve(n);
  rows_.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    appendRow(names.empty() ? std::to_string(i + 1) : names[static_cast<std::size_t>(i)], "PROX");
  if (n > 1) std::memcpy(values_.data(), lowerTriangle.data(), lowerTriangle.size() * sizeof(double));
  computeSumOfSquares();
}

void ProximityMatrix::computeSumOfSquares() {
  // Accumulated in extended precision and stored as a double after each term,
  // row by row and column by column.
  double sum = 0.0;
  const double* values = values_.data();
  const std::size_t count = TriangularStorage::offset(getNumberOfObjects());
  for (std::size_t k = 0; k < count; ++k) {
    const Extended v = values[k];
    sum = static_cast<double>(sum + v * v);
  }
  sumOfSquares_ = sum;
}

void ProximityMatrix::makeSquareRows() {
  const int n = getNumberOfObjects();
  const auto size = static_cast<std::size_t>(n);
  DoubleBlock square(size * size, false);
  double* cells = square.data();
  // Each row's own cells, then its column's cells below it tile by tile, so
  // that the reads stay in the cache.
  constexpr int kTile = 32;
  for (int i = 0; i < n; ++i) {
    if (i > 0) std::memcpy(cells + static_cast<std::size_t>(i) * size, values_.row(i), static_cast<std::size_t>(i) * sizeof(double));
    cells[static_cast<std::size_t>(i) * size + static_cast<std::size_t>(i)] = 0.0;
  }
  for (int j0 = 0; j0 < n; j0 += kTile)
    for (int i0 = j0; i0 < n; i0 += kTile)
      for (int j = j0; j < std::min(n, j0 + kTile); ++j)
        for (int i = std::max(i0, j + 1); i < std::min(n, i0 + kTile); ++i)
          cells[static_cast<std::size_t>(j) * size + static_cast<std::size_t>(i)] = lowerValue(i, j);
  squareRows_ = std::move(square);
  hasSquareRows_ = n > 0;
}

void ProximityMatrix::encodeDescription(ByteWriter& out) const {
  out.put(getNumberOfObjects());
  for (const bool flag : {isDissimilarity_, isSquaredEuclidean_, hasLabelVariable_, hasCaseNumbers_, hasObjectLabels_})
    out.put(flag);
  for (const auto& row : rows_) {
    out.put(row->name_);
    out.put(row->rowType_);
    out.put(row->label_);
    out.put(row->caseNumber_);
  }
}

void ProximityMatrix::decodeDescription(ByteReader& in) {
  if (!rows_.empty()) throw EKorvanaError("The proximity matrix is already filled");
  const int n = in.take<int>();
  if (n < 0) throw EKorvanaError("The number of objects cannot be negative");
  for (bool* flag : {&isDissimilarity_, &isSquaredEuclidean_, &hasLabelVariable_, &hasCaseNumbers_, &hasObjectLabels_})
    in.get(*flag);
  reserve(n);
  for (int i = 0; i < n; ++i) {
    const std::string name = in.take<std::string>();
    const std::string rowType = in.take<std::string>();
    ProximityMatrixRow& row = appendRow(name, rowType);
    in.get(row.label_);
    in.get(row.caseNumber_);
  }
}

const std::string& ProximityMatrix::getObjectLabel(int i) const {
  const ProximityMatrixRow& row = getRow(i);
  return hasCaseNumbers_ ? row.getLabel() : row.getName();
}

}  // namespace korvana
