#include "engine/BestFitHistory.h"

#include <cmath>

#include "engine/PermutationRun.h"

namespace korvana {

BestFitHistory bestFitHistoryOf(const PermutationRecords& records) {
  BestFitHistory history;
  const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
  for (int k = 0; k < records.completed; ++k) {
    const double fit = records.fitValues[static_cast<std::size_t>(k)];
    // The keeping rule: a better fit, or one of two that do not compare,
    // replaces the kept solutions.
    if (history.records.empty() || fit < history.value || std::isnan(fit) || std::isnan(history.value)) {
      history.records.push_back({k, fit});
      history.value = fit;
      history.firstReachedAt = k;
    }
    history.curve.push_back(history.value);
  }
  for (int k = 0; k < records.completed; ++k)
    history.reachedBy += same(records.fitValues[static_cast<std::size_t>(k)], history.value) ? 1 : 0;
  return history;
}

}  // namespace korvana
