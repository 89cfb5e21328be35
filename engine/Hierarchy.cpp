#include "engine/Hierarchy.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/ScientificFormat.h"
#include "engine/ClusterSolution.h"

namespace korvana {

namespace {

/// The finalizer of MurmurHash3 on a salted input: a fixed, well-mixed
/// 64-bit value for every key.
std::uint64_t mix(std::uint64_t value, std::uint64_t salt) {
  value ^= salt;
  value ^= value >> 33;
  value *= 0xFF51AFD7ED558CCDull;
  value ^= value >> 33;
  value *= 0xC4CEB9FE1A85EC53ull;
  return value ^ (value >> 33);
}

}  // namespace

bool sameHeight(double a, double b) {
  if (a == b) return true;
  if (!std::isfinite(a) || !std::isfinite(b)) return false;
  // Two values that round to the same 13 significant digits lie within a
  // relative 1e-12 of each other; values further apart need no rounding.
  if (std::fabs(a - b) > 1e-11 * std::max(std::fabs(a), std::fabs(b))) return false;
  return roundToSignificantDigits(a, 13) == roundToSignificantDigits(b, 13);
}

HierarchyId hierarchyIdOf(const std::vector<ClusterKey>& clusters) {
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  for (const ClusterKey& key : clusters) {
    first += mix(key.first ^ mix(key.second, 0x243F6A8885A308D3ull), 0x13198A2E03707344ull);
    second += mix(key.second ^ mix(key.first, 0xA4093822299F31D0ull), 0x082EFA98EC4E6C89ull);
  }
  HierarchyId id{};
  for (int i = 0; i < 8; ++i) {
    id[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(first >> (56 - 8 * i));
    id[static_cast<std::size_t>(8 + i)] = static_cast<std::uint8_t>(second >> (56 - 8 * i));
  }
  return id;
}

std::vector<char> foldedStages(const ClusterSolution& solution) {
  const int stages = solution.getStageCount();
  std::vector<char> folded(static_cast<std::size_t>(stages), 0);
  for (int t = 0; t < stages; ++t) {
    const int parent = solution.getNextStage(t);
    folded[static_cast<std::size_t>(t)] = parent >= 0 && sameHeight(solution.getHeight(t), solution.getHeight(parent));
  }
  return folded;
}

Hierarchy hierarchyOf(const ClusterSolution& solution, const std::vector<ClusterKey>& stageKeys) {
  Hierarchy hierarchy;
  hierarchy.folded = foldedStages(solution);
  hierarchy.clusters.reserve(stageKeys.size());
  for (std::size_t t = 0; t < stageKeys.size(); ++t)
    if (!hierarchy.folded[t]) hierarchy.clusters.push_back(stageKeys[t]);
  hierarchy.id = hierarchyIdOf(hierarchy.clusters);
  return hierarchy;
}

}  // namespace korvana
