// A permutation run spread over processes: each runs a share of the
// permutations (PermutationSettings::shareCount, shareIndex), sends its
// results as bytes, and one merges them into the results of one run of all
// the permutations, the same to the bit.
#pragma once

#include <limits>
#include <vector>

#include "engine/PermutationRun.h"

namespace korvana {

/// The results of a share's run as bytes: the records of its completed
/// permutations, its kept solutions and its tally.
std::vector<char> encodeShare(const PermutationResults& results);
/// The same back into results whose records have room for permutationCount.
PermutationResults decodeShare(const std::vector<char>& bytes, int permutationCount);

/// One run's results from the results of every share (in any order): the
/// records of the permutations up to the first one no share completed, the
/// kept solutions by the keeping rule applied in permutation order (a kept
/// permutation whose solution no share kept is clustered again here) and the
/// tallies added up. When the shares together completed more than that
/// prefix (a run stopped early), the tally counts permutations beyond it and
/// `tallyComplete` is false.
///
/// With a limit, the run ends before permutation `limit` (a run that stopped
/// when stable): the permutations from there on that the shares completed
/// are clustered again here and taken out of the tallies.
PermutationResults mergeShares(std::vector<PermutationResults> shares, const ProximityMatrix& matrix,
                               ClusterMethod& method, const PermutationSettings& settings,
                               int limit = std::numeric_limits<int>::max());

}  // namespace korvana
