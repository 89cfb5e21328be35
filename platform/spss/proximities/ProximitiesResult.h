// The proximity matrix computed by a PROXIMITIES command, with what the matrix
// file needs besides the values: the names and labels of the matrix
// variables, the case numbers and the label of the row type PROX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/TriangularStorage.h"

namespace korvana::spss {

class ProximitiesResult {
 public:
  /// The number of items (rows and columns of the matrix).
  std::size_t itemCount() const { return names.size(); }
  /// The proximity of items i and j, in either order; the diagonal for i = j.
  double value(std::size_t i, std::size_t j) const {
    if (i == j) return diagonal[i];
    return i > j ? lower.row(static_cast<int>(i))[j] : lower.row(static_cast<int>(j))[i];
  }

  /// The strict lower triangle, row by row: (1,0), (2,0), (2,1), (3,0), …
  korvana::TriangularStorage lower;
  /// The proximity of each item with itself (see docs/proximities.md for the
  /// rule), after the same transformations as the other cells.
  std::vector<double> diagonal;

  /// True when the values are dissimilarities (the measure's kind turned round
  /// by REVERSE).
  bool isDissimilarity = true;
  /// The value label of ROWTYPE_'s value "PROX": "Proximities: ", the measure
  /// as written (keyword, parameters, transformations), ", " and
  /// "DISSIMILARITY" or "SIMILARITY". Only SEUCLID puts " SEU" (blank first)
  /// into it: the matrix reader tells squared Euclidean distances by that.
  std::string proxLabel;

  /// The matrix variables: VAR1 … VARn for cases, the variable names for
  /// variables; the VARNAME_ value of each row is the same name.
  std::vector<std::string> names;
  /// Their labels: "CASE m" (m the case number) for cases; empty for
  /// variables, whose labels the caller copies from the dictionary.
  std::vector<std::string> labels;

  /// The cases used (no missing value in any of the command's variables):
  /// their positions in the input and their case numbers (CASENO_).
  std::vector<std::size_t> usedCases;
  std::vector<std::int64_t> caseNumbers;
};

}  // namespace korvana::spss
