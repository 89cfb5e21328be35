// The pair loops of PROXIMITIES: every measure for a block of the pairs of
// items (cells of the strict lower triangle: row i, columns j < i), plus the
// diagonal.
//
// Items are given twice, item by item (`items`, n × dims) and dimension by
// dimension (`byDimension`, dims × n), so that the interval loops can run
// over several neighbouring columns j at once with contiguous loads. Every
// cell is accumulated over the dimensions in their order, one dimension after
// the other, whichever loop computes it: the vectorized tiles and the scalar
// remainder give identical values, and the sums are those of a plain
// sequential loop (no reassociation, no fused multiply-add). So a cell has
// the same value whichever block it is computed in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/spss/proximities/ProximitiesRequest.h"

namespace korvana::spss::kernels {

/// The cells (i, j) with firstRow ≤ i < endRow and firstColumn ≤ j <
/// min(endColumn, i).
struct CellBlock {
  std::size_t firstRow = 0;
  std::size_t endRow = 0;
  std::size_t firstColumn = 0;
  std::size_t endColumn = 0;
};

/// Where the cells of row i go: a pointer to its cell of column firstColumn,
/// the others following it.
using RowOutput = std::function<double*(std::size_t row)>;

/// What the pair loops of a command work on, prepared once: the items (their
/// deviations from their means for CORRELATION) with their sums of squares
/// (COSINE, CORRELATION; NaN for an item without variation) or totals
/// (CHISQ, PH2), or for binary measures the bit sets of their present and
/// absent values.
struct PreparedItems {
  const ProximitiesRequest* request = nullptr;
  std::size_t n = 0;
  std::size_t dims = 0;
  std::vector<double> items;        // n × dims
  std::vector<double> byDimension;  // dims × n (interval measures)
  std::vector<double> sums;
  std::size_t words = 0;  // 64-bit words per item's bit set
  std::vector<std::uint64_t> present;
  std::vector<std::uint64_t> absent;
};

/// Prepares the items (item by item and dimension by dimension) for the
/// request's measure; the request must outlive the result.
PreparedItems prepareItems(const ProximitiesRequest& request, std::vector<double> items,
                           std::vector<double> byDimension, std::size_t n, std::size_t dims);

/// The measure for a block of cells; with a diagonal, it is computed too.
/// Binary measures: the 2 × 2 table of every pair from the bit sets, then the
/// measure's formula.
void pairCells(const PreparedItems& prepared, const CellBlock& block, const RowOutput& output,
               std::vector<double>* diagonal = nullptr);

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
