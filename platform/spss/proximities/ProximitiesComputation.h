// The computation of a PROXIMITIES command, in the package's order:
//   1. cases with a missing value (system- or user-missing) in any of the
//      command's variables are left out (listwise);
//   2. interval and counts measures: the values are standardized by variable
//      or by case (binary measures are never standardized);
//   3. the measure is computed for every pair of items (cases or variables);
//   4. ABSOLUTE, then REVERSE, then RESCALE, whatever order they were written
//      in.
// Values are doubles throughout. The rules where the package's documentation
// is silent (zero denominators, degenerate standardizations, the diagonal,
// RESCALE of a constant matrix) are listed in docs/proximities.md and at the
// functions below.
#pragma once

#include <cstddef>

#include "platform/spss/proximities/ProximitiesData.h"
#include "platform/spss/proximities/ProximitiesRequest.h"
#include "platform/spss/proximities/ProximitiesResult.h"

namespace korvana::spss {

/// The whole command on the given data (data.variableCount must equal the
/// number of the request's variables; EProximitiesError otherwise).
ProximitiesResult computeProximities(const ProximitiesRequest& request, const ProximitiesData& data);

/// Standardizes rows × columns values (row by row in memory) in place: each
/// column (byVariable) or each row (byCase) on its own. Standard deviations
/// use the m − 1 denominator. Degenerate cases:
///   Z        sd = 0 or fewer than two values: every value 0
///   RANGE    max = min: unchanged
///   RESCALE  max = min: every value 0.5
///   MAX      divides by the largest magnitude max |v|; 0: unchanged
///   MEAN     mean = 0: unchanged
///   SD       sd = 0 or fewer than two values: unchanged
/// A set of values counts as constant (sd = 0, max = min) only when all its
/// values are equal.
void standardizeValues(Standardization method, StandardizeDirection direction, double* values, std::size_t rows,
                       std::size_t columns);

/// ABSOLUTE (p → |p|), REVERSE (p → 0 − p, so that 0 stays +0) and RESCALE,
/// in this order, on the off-diagonal cells and the diagonal. RESCALE maps
/// the off-diagonal cells by (p − min) / (max − min), with min and max over
/// the off-diagonal cells that are not NaN; when max = min they all become
/// 0.5. The diagonal is mapped with the same min and max and then limited to
/// 0 … 1 (a diagonal below min gives 0, above max 1, equal to both 0.5), so
/// that a distance's zero diagonal stays 0 and a similarity's diagonal is 1.
/// Without any off-diagonal value that is not NaN, RESCALE changes nothing.
/// NaN stays NaN.
void transformProximities(bool absolute, bool reverse, bool rescale, korvana::TriangularStorage& lower,
                          std::vector<double>& diagonal);

/// The value label of "PROX" for this request (see ProximitiesResult).
std::string proxValueLabel(const ProximitiesRequest& request);

}  // namespace korvana::spss
