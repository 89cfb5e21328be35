// The matrix of a PROXIMITIES command on its data, computed a block of rows at
// a time instead of held whole: the cases are chosen and standardized once
// (steps 1 and 2 of ProximitiesComputation.h); the measure and the
// transformations (steps 3 and 4) are computed for whatever rows are asked
// for. RESCALE needs the smallest and largest proximity first, which one pass
// over the pairs finds without keeping them.
//
// The transformations: ABSOLUTE (p → |p|), REVERSE (p → 0 − p, so that 0
// stays +0) and RESCALE, in this order, on the cells off the diagonal and on
// the diagonal. RESCALE maps the cells off the diagonal by
// (p − min) / (max − min), with min and max over those that are not NaN; when
// max = min they all become 0.5. The diagonal is mapped with the same min and
// max and then limited to 0 … 1 (a diagonal below min gives 0, above max 1,
// equal to both 0.5), so that a distance's zero diagonal stays 0 and a
// similarity's diagonal is 1. Without any cell off the diagonal that is not
// NaN, RESCALE changes nothing. NaN stays NaN.
//
// A cell has the same value to the bit as in computeProximities: the pair
// loops give a cell the same value in any block (ProximityKernels.h), and the
// cells above the diagonal are computed as the cells below it that mirror
// them.
#pragma once

#include <cstddef>
#include <vector>

#include "common/TriangularStorage.h"
#include "platform/spss/proximities/ProximitiesData.h"
#include "platform/spss/proximities/ProximitiesRequest.h"
#include "platform/spss/proximities/ProximitiesResult.h"
#include "platform/spss/proximities/ProximityKernels.h"

namespace korvana::spss {

class ProximitiesMatrix {
 public:
  /// Throws EProximitiesError for data that do not fit the request.
  ProximitiesMatrix(const ProximitiesRequest& request, const ProximitiesData& data);
  ProximitiesMatrix(const ProximitiesMatrix&) = delete;
  ProximitiesMatrix& operator=(const ProximitiesMatrix&) = delete;

  /// The result without its cells: names, labels, cases, direction, the PROX
  /// label and the diagonal (transformed).
  const ProximitiesResult& description() const { return description_; }
  std::size_t itemCount() const { return n_; }

  /// Rows [first, end) of the whole symmetric matrix, the diagonal included:
  /// row after row, itemCount() values each. Not for two threads at once.
  void rows(std::size_t first, std::size_t end, double* out) const;
  /// The rows of `rows` that take about `bytes` of memory (at least one).
  std::size_t rowsPerBlock(std::size_t bytes) const;
  /// The whole result, the strict lower triangle held in memory.
  ProximitiesResult wholeResult() const;

 private:
  /// The measure (step 3) for a block of cells below the diagonal.
  void measure(const kernels::CellBlock& block, const kernels::RowOutput& output,
               std::vector<double>* diagonal = nullptr) const;
  /// Step 4 for `count` cells off the diagonal.
  void transform(double* values, std::size_t count) const;

  ProximitiesRequest request_;
  ProximitiesResult description_;
  std::size_t n_ = 0;
  std::size_t dims_ = 0;
  kernels::PreparedItems items_;
  mutable std::vector<double> mirrored_;  // rows(): the cells above the diagonal
  bool rescale_ = false;             // a RESCALE with at least one value
  double minimum_ = 0.0;
  double maximum_ = 0.0;
  double range_ = 0.0;
};

}  // namespace korvana::spss
