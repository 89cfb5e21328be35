// The pair loops of PROXIMITIES: every measure for every pair of items,
// written into a strict lower triangle (row i at lower.row(i), columns
// 0 … i − 1) plus the diagonal.
//
// Items are given twice, item by item (`items`, n × dims) and dimension by
// dimension (`byDimension`, dims × n), so that the interval loops can run
// over several neighbouring columns j at once with contiguous loads. Every
// cell is accumulated over the dimensions in their order, one dimension after
// the other, whichever loop computes it: the vectorized tiles and the scalar
// remainder give identical values, and the sums are those of a plain
// sequential loop (no reassociation, no fused multiply-add).
#pragma once

#include <cstddef>
#include <vector>

#include "common/TriangularStorage.h"
#include "platform/spss/proximities/ProximitiesRequest.h"

namespace korvana::spss::kernels {

/// Interval measures (the request gives the measure, power and root).
void intervalMeasure(const ProximitiesRequest& request, const double* items, const double* byDimension, std::size_t n,
                     std::size_t dims, korvana::TriangularStorage& lower, std::vector<double>& diagonal);

/// CHISQ and PH2 on items given item by item.
void countsMeasure(ProximityMeasure measure, const double* items, std::size_t n, std::size_t dims,
                   korvana::TriangularStorage& lower, std::vector<double>& diagonal);

/// Binary measures: the 2 × 2 table of every pair from bit sets of the
/// present and absent positions, then the measure's formula.
void binaryMeasure(const ProximitiesRequest& request, const double* items, std::size_t n, std::size_t dims,
                   korvana::TriangularStorage& lower, std::vector<double>& diagonal);

/// The loops are compiled twice: for the x86-64 baseline and for processors
/// with AVX2 (interval measures) or POPCNT (binary measures), chosen at run
/// time. With true, the baseline code is used on every processor (so that
/// tests can compare the two).
void useBaselineCodeOnly(bool value);

/// The formula of a binary measure for the table (a, b, c, d) (see
/// docs/proximities.md): K1 and SS3 are capped at 9999.999, which they also
/// take when b + c = 0; any other zero denominator gives NaN.
double binaryValue(ProximityMeasure measure, double a, double b, double c, double d);

}  // namespace korvana::spss::kernels
