#include "engine/StabilityWatch.h"

#include <cmath>

namespace korvana {

StabilityWatch::StabilityWatch(int window) : window_(window < 1 ? 1 : window) {}

bool StabilityWatch::take(int k, double fit, const HierarchyId& hierarchy) {
  if (!started_ || fit < best_ || std::isnan(fit) || std::isnan(best_)) {
    started_ = true;
    best_ = fit;
    bestHierarchies_ = {hierarchy};
    lastChange_ = k;
  } else if (fit == best_ && bestHierarchies_.insert(hierarchy).second) {
    lastChange_ = k;
  }
  return k - lastChange_ >= window_;
}

}  // namespace korvana
