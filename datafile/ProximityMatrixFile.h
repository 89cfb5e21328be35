// Reading a proximity matrix from a data file written by the statistics
// package's PROXIMITIES command (or any file with its layout).
#pragma once

#include <optional>
#include <string>

namespace korvana {

class ProximityMatrix;

/// What a read matrix file says beyond the matrix, for a caller that asks:
/// the upper triangle is then read as well (which costs time), to be
/// checked against the lower one.
struct MatrixFileReport {
  /// Set when the upper triangle is not the mirror of the lower one (only
  /// the lower is used): the first object, from 0, whose column differs from
  /// its row. A file without an upper triangle (missing values there) is not
  /// checked.
  std::optional<int> asymmetricObject;
};

/// Fills an empty matrix from a proximity-matrix data file (rowtype_ first,
/// an optional case-label variable, an optional caseno_, varname_, then one
/// column per object; the lower triangle of each case is used). Refuses a
/// file whose rows are not all PROX rows (a correlation or covariance
/// matrix, means, counts), that is not square, that holds fewer than two
/// objects, or that has a missing value in the lower triangle (the message
/// ends with `missingHint`, when given, which says why one could be
/// missing). Shows a failure in the standard error box and returns false;
/// never raises.
bool loadProximityMatrix(const std::string& fileName, ProximityMatrix& matrix, const std::string& missingHint = {},
                         MatrixFileReport* report = nullptr);

/// Whether the matrix file says its proximities are squared Euclidean
/// distances (its PROX label names SEUCLID, or it has none, as the loader
/// takes it), read from its dictionary alone; nothing when the file cannot
/// be read that far (loading it says why).
std::optional<bool> matrixFileIsSquaredEuclidean(const std::string& fileName);

/// The number of objects of a proximity-matrix data file (its number of
/// cases), from its dictionary alone; -1 when the file cannot be opened.
int proximityMatrixObjectCount(const std::string& fileName);

}  // namespace korvana
