// The matrices a caller hands over, checked and laid out as the engine keeps
// them (the strict lower triangle row by row), and back to scipy's order.
#include <cmath>
#include <string>

#include "common/TriangularStorage.h"
#include "include/korvana/korvana.h"

namespace korvana::api {

namespace {

std::string cell(std::size_t i, std::size_t j) { return "[" + std::to_string(i) + ", " + std::to_string(j) + "]"; }

void checkFinite(double value, std::size_t i, std::size_t j) {
  if (!std::isfinite(value))
    throw InvalidInput("The proximity of objects " + std::to_string(i) + " and " + std::to_string(j) + " is " +
                       (std::isnan(value) ? "not a number" : "infinite") + ": every proximity must be a finite number");
}

void checkLabels(const std::vector<std::string>& labels, std::size_t n) {
  if (!labels.empty() && labels.size() != n)
    throw InvalidInput("Expected " + std::to_string(n) + " labels, one per object, not " + std::to_string(labels.size()));
}

/// Position of pair (i, j), i < j, in the condensed vector of n objects.
std::size_t condensedIndex(std::size_t n, std::size_t i, std::size_t j) { return n * i - i * (i + 1) / 2 + (j - i - 1); }

}  // namespace

Matrix matrixFromCondensed(const double* values, std::size_t count, bool similarity, std::vector<std::string> labels) {
  // n(n − 1)/2 = count; n from the positive root.
  const auto n = static_cast<std::size_t>(std::llround((1.0 + std::sqrt(1.0 + 8.0 * static_cast<double>(count))) / 2.0));
  if (count == 0 || n * (n - 1) / 2 != count)
    throw InvalidInput("A condensed proximity vector holds n(n - 1)/2 values for n >= 2 objects; " +
                       std::to_string(count) + " values are no such number");
  checkLabels(labels, n);
  Matrix matrix;
  matrix.objects = static_cast<int>(n);
  matrix.similarity = similarity;
  matrix.labels = std::move(labels);
  matrix.lower.resize(count);
  double* lower = matrix.lower.data();
  for (std::size_t i = 1; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j) {
      const double value = values[condensedIndex(n, j, i)];
      checkFinite(value, j, i);
      lower[TriangularStorage::offset(static_cast<int>(i)) + j] = value;
    }
  return matrix;
}

Matrix matrixFromSquare(const double* values, std::size_t n, bool similarity, std::vector<std::string> labels) {
  if (n < 2) throw InvalidInput("A proximity matrix needs at least 2 objects, not " + std::to_string(n));
  checkLabels(labels, n);
  Matrix matrix;
  matrix.objects = static_cast<int>(n);
  matrix.similarity = similarity;
  matrix.labels = std::move(labels);
  matrix.lower.resize(n * (n - 1) / 2);
  double* lower = matrix.lower.data();
  for (std::size_t i = 1; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j) {
      const double value = values[i * n + j];
      const double mirror = values[j * n + i];
      checkFinite(value, i, j);
      if (!(value == mirror))
        throw InvalidInput("The proximity matrix is not symmetric: " + cell(i, j) + " = " + std::to_string(value) +
                           " but " + cell(j, i) + " = " + std::to_string(mirror));
      lower[TriangularStorage::offset(static_cast<int>(i)) + j] = value;
    }
  return matrix;
}

std::vector<double> condensedOf(const Matrix& matrix) {
  const auto n = static_cast<std::size_t>(matrix.objects);
  std::vector<double> condensed(matrix.lower.size());
  for (std::size_t i = 1; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j)
      condensed[condensedIndex(n, j, i)] = matrix.lower[TriangularStorage::offset(static_cast<int>(i)) + j];
  return condensed;
}

}  // namespace korvana::api
