// The answer to the question a run asks, in words for a researcher: did the
// order of the objects change the tree, or only the order of merges at equal
// heights; how many hierarchies reach the best fit; how firmly the clusters
// of the best-fitting hierarchy stand; whether more permutations would still
// find new hierarchies; and what to do next.
#pragma once

#include <string>
#include <vector>

namespace korvana {

struct BestFitHistory;
struct SupportReport;

/// The share of the permutations below which a cluster of the best-fitting
/// hierarchy is called uncertain.
inline constexpr double kFirmSupport = 0.95;

/// The curve of distinct hierarchies has levelled off when no new hierarchy
/// appeared in the second half of the permutations run (and at least this
/// many ran: fewer tell too little).
inline constexpr int kLevelledOffPermutations = 20;

/// Whether the curve (distinct values after each permutation) has levelled
/// off by that rule.
bool levelledOff(const std::vector<int>& curve);

/// The best fit counts as found late when its last improvement came in the
/// second half of the permutations run.
bool foundLate(const BestFitHistory& history);

/// The verdict of a run whose clusters were counted; the first kept solution
/// is the best-fitting hierarchy. With the best fit's history it also says
/// when more permutations may find a better fit.
std::string verdictText(const SupportReport& report, const BestFitHistory* history = nullptr);

}  // namespace korvana
