// How the best fit developed over a run: the permutations at which the kept
// solutions' fit changed (the keeping rule replaced them: a lower rounded
// normalized SSDif, or a fit that is not a number on either side), the final
// best fit, the permutation that first reached it and how many reached it.
// Taken from the records in permutation order, so it is the same for any
// number of jobs or processes.
#pragma once

#include <vector>

namespace korvana {

struct PermutationRecords;

struct BestFitRecord {
  int permutation = 0;  // from 0
  double normalizedSSDif = 0.0;
};

struct BestFitHistory {
  double value = 0.0;
  int firstReachedAt = -1;  // from 0; −1 without a completed permutation
  int reachedBy = 0;
  std::vector<BestFitRecord> records;
  /// The best fit after each completed permutation.
  std::vector<double> curve;
};

BestFitHistory bestFitHistoryOf(const PermutationRecords& records);

}  // namespace korvana
