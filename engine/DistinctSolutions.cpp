#include "engine/DistinctSolutions.h"

#include <cstring>
#include <unordered_map>

#include "engine/PermutationRun.h"

namespace korvana {

namespace {

struct SolutionIdHash {
  std::size_t operator()(const SolutionId& id) const noexcept {
    std::size_t value = 0;
    std::memcpy(&value, id.data(), sizeof value);
    return value;
  }
};

}  // namespace

double chao1(int distinct, int seenOnce, int seenTwice) {
  const double f1 = seenOnce;
  return distinct + f1 * (f1 - 1) / (2.0 * (seenTwice + 1));
}

DistinctSolutions countDistinctSolutions(const PermutationRecords& records, const std::function<bool(int)>& counted) {
  return countDistinct(records.solutionIds, records.completed, counted);
}

DistinctSolutions countDistinct(const std::vector<SolutionId>& ids, int completed,
                                const std::function<bool(int)>& counted) {
  DistinctSolutions result;
  std::unordered_map<SolutionId, int, SolutionIdHash> seen;
  result.curve.reserve(static_cast<std::size_t>(completed));
  for (int k = 0; k < completed; ++k) {
    if (counted(k)) {
      ++result.permutations;
      const int times = ++seen[ids[static_cast<std::size_t>(k)]];
      if (times == 1) {
        ++result.distinct;
        ++result.seenOnce;
      } else if (times == 2) {
        --result.seenOnce;
        ++result.seenTwice;
      } else if (times == 3) {
        --result.seenTwice;
      }
    }
    result.curve.push_back(result.distinct);
  }
  result.estimatedTotal = chao1(result.distinct, result.seenOnce, result.seenTwice);
  return result;
}

}  // namespace korvana
