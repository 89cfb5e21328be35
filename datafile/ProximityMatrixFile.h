// Reading a proximity matrix from a data file written by the statistics
// package's PROXIMITIES command (or any file with its layout).
#pragma once

#include <string>

namespace korvana {

class ProximityMatrix;

/// Fills an empty matrix from a proximity-matrix data file (rowtype_ first,
/// an optional case-label variable, an optional caseno_, varname_, then one
/// column per object; the lower triangle of each case is read). Shows a
/// failure in the standard error box and returns false; never raises.
bool loadProximityMatrix(const std::string& fileName, ProximityMatrix& matrix);

/// The number of objects of a proximity-matrix data file (its number of
/// cases), from its dictionary alone; -1 when the file cannot be opened.
int proximityMatrixObjectCount(const std::string& fileName);

}  // namespace korvana
