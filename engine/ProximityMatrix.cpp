#include "engine/ProximityMatrix.h"

#include <string>

#include "engine/ExtendedPrecision.h"
#include "engine/KorvanaError.h"

namespace korvana {

void ProximityMatrix::appendRow(std::unique_ptr<ProximityMatrixRow> row) {
  if (!row || row->getPosition() != getNumberOfObjects())
    throw EKorvanaError("Proximity matrix rows must be appended in object order");
  rowValues_.push_back(row->values());
  rows_.push_back(std::move(row));
}

void ProximityMatrix::assignLowerTriangle(int n, const std::vector<double>& lowerTriangle,
                                          const std::vector<std::string>& names) {
  if (!rows_.empty()) throw EKorvanaError("The proximity matrix is already filled");
  if (n < 0) throw EKorvanaError("The number of objects cannot be negative");
  const auto expected = static_cast<std::size_t>(n) * static_cast<std::size_t>(n > 0 ? n - 1 : 0) / 2;
  if (lowerTriangle.size() != expected)
    throw EKorvanaError("A lower triangle of " + std::to_string(n) + " objects needs " +
                        std::to_string(expected) + " values, not " +
                        std::to_string(lowerTriangle.size()));
  if (!names.empty() && names.size() != static_cast<std::size_t>(n))
    throw EKorvanaError("Expected " + std::to_string(n) + " object names, not " +
                        std::to_string(names.size()));
  rows_.reserve(static_cast<std::size_t>(n));
  rowValues_.reserve(static_cast<std::size_t>(n));
  std::size_t k = 0;
  for (int i = 0; i < n; ++i) {
    auto row = std::make_unique<ProximityMatrixRow>(
        i, names.empty() ? std::to_string(i + 1) : names[static_cast<std::size_t>(i)], "PROX");
    for (int j = 0; j < i; ++j) row->setValue(j, lowerTriangle[k++]);
    appendRow(std::move(row));
  }
  computeSumOfSquares();
}

void ProximityMatrix::computeSumOfSquares() {
  // Accumulated in extended precision and stored as a double after each term.
  double sum = 0.0;
  const int n = getNumberOfObjects();
  for (int i = 0; i < n; ++i) {
    const double* values = rowValues_[static_cast<std::size_t>(i)];
    for (int j = 0; j < i; ++j) {
      const Extended v = values[j];
      sum = static_cast<double>(sum + v * v);
    }
  }
  sumOfSquares_ = sum;
}

const std::string& ProximityMatrix::getObjectLabel(int i) const {
  const ProximityMatrixRow& row = getRow(i);
  return hasCaseNumbers_ ? row.getLabel() : row.getName();
}

}  // namespace korvana
