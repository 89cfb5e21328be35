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
/// number of the request's variables; EProximitiesError otherwise), the
/// matrix held whole (ProximitiesMatrix computes it a block at a time).
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

/// The value label of "PROX" for this request (see ProximitiesResult).
std::string proxValueLabel(const ProximitiesRequest& request);

}  // namespace korvana::spss
