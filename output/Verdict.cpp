#include "output/Verdict.h"

#include <cmath>
#include <cstdio>

#include "engine/BestFitHistory.h"
#include "engine/PermutationRun.h"

namespace korvana {

namespace {

std::string counted(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

/// The permutation (from 1) after which the curve last grew; 0 for none.
int lastGrowth(const std::vector<int>& curve) {
  int last = 0;
  for (std::size_t k = 0; k < curve.size(); ++k)
    if (k == 0 ? curve[k] > 0 : curve[k] > curve[k - 1]) last = static_cast<int>(k) + 1;
  return last;
}

}  // namespace

bool levelledOff(const std::vector<int>& curve) {
  const int run = static_cast<int>(curve.size());
  return run >= kLevelledOffPermutations && 2 * lastGrowth(curve) <= run;
}

bool foundLate(const BestFitHistory& history) {
  return !history.records.empty() && 2 * (history.records.back().permutation + 1) > static_cast<int>(history.curve.size());
}

namespace {

/// What the best fit's history adds: a best reached once, or late, may not
/// be the best there is.
std::string bestFitSentence(const BestFitHistory& history) {
  const int run = static_cast<int>(history.curve.size());
  if (run < 2 || history.records.empty()) return {};
  const int last = history.records.back().permutation + 1;
  const bool once = history.reachedBy == 1;
  const bool late = foundLate(history);
  if (!once && !late) return {};
  std::string text = " The best fit was ";
  text += once ? "reached by one permutation only (permutation " + std::to_string(last) + ")"
               : "last improved at permutation " + std::to_string(last) + " of " + std::to_string(run);
  if (once && late) text += ", late in the run";
  return text + ": more permutations may find a better fit.";
}

}  // namespace

std::string verdictText(const SupportReport& report, const BestFitHistory* history) {
  const DistinctSolutions& orders = report.all;
  const DistinctSolutions& hierarchies = report.hierarchiesAll;
  const int run = orders.permutations;
  if (run == 0) return "No permutation was completed.";
  std::string text = counted(run, "permutation", "permutations") + " gave " +
                     counted(orders.distinct, "merge order", "merge orders") + " and " +
                     counted(hierarchies.distinct, "hierarchy", "hierarchies");
  if (hierarchies.distinct == 1) {
    text += orders.distinct == 1 ? ": the order of the objects does not change the tree."
                                 : ": the ties change only the order of merges at equal heights, not the tree.";
    if (run < kLevelledOffPermutations)
      text += " With fewer than " + std::to_string(kLevelledOffPermutations) +
              " permutations this is a first look: run more to be sure.";
    else
      text += " Report this hierarchy; the Consensus Tree is the same tree.";
    return text + (history ? bestFitSentence(*history) : std::string());
  }
  const int bestHierarchies = report.hierarchiesBest.distinct;
  text += "; the best fit is reached by " + counted(bestHierarchies, "hierarchy", "hierarchies") + " (in " +
          counted(report.hierarchiesBest.permutations, "permutation", "permutations") + ")";
  if (!report.hierarchySupport.empty()) {
    int uncertain = 0;
    bool known = true;
    const auto& stages = report.hierarchySupport.front();
    for (std::size_t t = 0; t < stages.size(); ++t) {
      if (report.folded.front()[t]) continue;
      if (std::isnan(stages[t].all)) known = false;
      else if (stages[t].all < kFirmSupport) ++uncertain;
    }
    if (known)
      text += "; " + counted(uncertain, "cluster", "clusters") + " of the best-fitting hierarchy " +
              (uncertain == 1 ? "appears" : "appear") + " in fewer than " +
              std::to_string(static_cast<int>(kFirmSupport * 100)) + " % of the permutations";
  }
  text += ". The order of the objects changes the tree.";
  const int last = lastGrowth(hierarchies.curve);
  if (levelledOff(hierarchies.curve)) {
    text += " The curve of distinct hierarchies has levelled off: no new hierarchy appeared after permutation " +
            std::to_string(last) + " of " + std::to_string(run) + ".";
  } else {
    char estimate[64];
    std::snprintf(estimate, sizeof estimate, "%.0f", hierarchies.estimatedTotal);
    text += " The curve of distinct hierarchies has not levelled off (the last new one appeared at permutation " +
            std::to_string(last) + " of " + std::to_string(run) + "; estimated total " + estimate +
            "): more permutations would find more.";
  }
  text += bestHierarchies == 1
              ? " Report the best-fitting hierarchy with the support of its clusters, or the Consensus Tree, and "
                "say that the tree depends on the order of the objects."
              : " No one tree fits best: report the Consensus Tree of the best-fitting permutations, or each "
                "best-fitting hierarchy, and say that the tree depends on the order of the objects.";
  return text + (history ? bestFitSentence(*history) : std::string());
}

}  // namespace korvana
