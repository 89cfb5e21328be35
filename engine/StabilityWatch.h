// The rule that stops a run once more permutations stop telling anything
// new: after the first permutation k such that neither the best fit nor the
// set of best-fitting hierarchies changed in the last N permutations,
// k − N + 1 … k. Fed in permutation order, so the stop is the same for any
// number of jobs or processes.
#pragma once

#include <set>

#include "engine/Hierarchy.h"

namespace korvana {

class StabilityWatch {
 public:
  /// N, at least 1.
  explicit StabilityWatch(int window);

  /// Takes permutation k (from 0, in order) with its rounded normalized
  /// SSDif and hierarchy; true when the run stops after it. The best fit
  /// changes as the keeping rule replaces the kept solutions (a lower fit,
  /// or a fit that is not a number on either side); the best-fitting
  /// hierarchies change when a permutation at the best fit has one not seen
  /// at it before.
  bool take(int k, double fit, const HierarchyId& hierarchy);

  int window() const { return window_; }
  /// The last permutation that changed either.
  int lastChange() const { return lastChange_; }

 private:
  int window_;
  bool started_ = false;
  double best_ = 0.0;
  std::set<HierarchyId> bestHierarchies_;
  int lastChange_ = -1;
};

}  // namespace korvana
