// How many different trees the permutations found, and how many more there
// are likely to be: the number of distinct solution ids D, the ids seen
// exactly once (f1) and exactly twice (f2), and the bias-corrected Chao1
// estimate of the total, D + f1(f1 − 1) / (2(f2 + 1)). While f1 stays large
// against f2, more permutations would still find new trees.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace korvana {

struct PermutationRecords;

struct DistinctSolutions {
  int permutations = 0;
  int distinct = 0;
  int seenOnce = 0;
  int seenTwice = 0;
  double estimatedTotal = 0.0;
  /// The distinct ids among the counted permutations after each completed
  /// permutation, 1 … completed.
  std::vector<int> curve;
};

/// Counts the completed permutations for which `counted(k)` holds, by their
/// solution ids.
DistinctSolutions countDistinctSolutions(const PermutationRecords& records, const std::function<bool(int)>& counted);

/// The same by any 16-byte id of the permutations 0 … completed − 1 (their
/// hierarchies, for one).
DistinctSolutions countDistinct(const std::vector<std::array<std::uint8_t, 16>>& ids, int completed,
                                const std::function<bool(int)>& counted);

/// D + f1(f1 − 1) / (2(f2 + 1)).
double chao1(int distinct, int seenOnce, int seenTwice);

}  // namespace korvana
