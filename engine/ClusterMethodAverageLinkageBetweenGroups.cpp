#include "engine/ClusterMethodAverageLinkageBetweenGroups.h"

#include <algorithm>
#include <cmath>

namespace korvana {

namespace {

struct BetweenGroupsScore {
  const SimilarityMatrix& matrix;
  const int* sizes;

  double operator()(int x, int y) const {
    return static_cast<double>(static_cast<Extended>(matrix.cell(x, y)) / int32Product(sizes[x], sizes[y]));
  }

  /// The rescan of row x over active[0 … k − 1] without an extended division
  /// per cell. The score is an extended quotient rounded to a double; the
  /// double quotient computed directly differs from it by at most one unit in
  /// the last place. So every exact minimum (maximum) lies among the cells
  /// whose direct quotient is within two units of the best direct quotient,
  /// and only those are evaluated exactly, in order. Returns false, leaving the
  /// outputs alone, when a quotient is not finite or lies near the search
  /// limit; the caller then runs the exact scan of every cell.
  template <Direction dir>
  bool rescan(int x, const int* active, int k, int& best, double& bestValue) const {
    const double* row = matrix.rowCells(x);
    const int sizeX = sizes[x];
    auto direct = [&](int y) { return row[y] / static_cast<double>(int32Product(sizeX, sizes[y])); };
    constexpr int kLanes = 4;
    double lane[kLanes];
    double probe[kLanes] = {0.0, 0.0, 0.0, 0.0};
    for (double& value : lane) value = worstValue<dir>();
    int j = 0;
    for (; j + kLanes <= k; j += kLanes)
      for (int l = 0; l < kLanes; ++l) {
        const double value = direct(active[j + l]);
        probe[l] += value * 0.0;
        lane[l] = dir == Direction::dissimilarity ? (value < lane[l] ? value : lane[l])
                                                  : (value > lane[l] ? value : lane[l]);
      }
    for (; j < k; ++j) {
      const double value = direct(active[j]);
      probe[0] += value * 0.0;
      lane[0] = dir == Direction::dissimilarity ? (value < lane[0] ? value : lane[0])
                                                : (value > lane[0] ? value : lane[0]);
    }
    if (!(probe[0] + probe[1] + probe[2] + probe[3] == 0.0)) return false;
    double bestDirect = lane[0];
    for (int l = 1; l < kLanes; ++l)
      bestDirect = dir == Direction::dissimilarity ? std::min(bestDirect, lane[l]) : std::max(bestDirect, lane[l]);
    if (!(std::fabs(bestDirect) < kProximityLimit * 0.5)) return false;
    const double towards = dir == Direction::dissimilarity ? HUGE_VAL : -HUGE_VAL;
    const double limit = std::nextafter(std::nextafter(bestDirect, towards), towards);
    int found = -1;
    double foundValue = worstValue<dir>();
    for (j = 0; j < k; ++j) {
      const int y = active[j];
      const double value = direct(y);
      if (dir == Direction::dissimilarity ? value > limit : value < limit) continue;
      const double exact = (*this)(x, y);
      if (isStrictlyBetter<dir>(exact, foundValue)) {
        found = y;
        foundValue = exact;
      }
    }
    best = found;
    bestValue = foundValue;
    return true;
  }
};

}  // namespace

ClusterMethodAverageLinkageBetweenGroups::ClusterMethodAverageLinkageBetweenGroups()
    : ClusterMethod("Between-groups linkage", "Average Linkage (Between Groups)", "average") {}

void ClusterMethodAverageLinkageBetweenGroups::mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix,
                                                             int d, int b) {
  state.joinMembers(d, b);
  updateProximities(state, matrix, d, b, [](int, double fromD, double fromB) {
    return static_cast<double>(static_cast<Extended>(fromD) + fromB);
  });
  withDirection([&]<Direction dir>() {
    updateNearestNeighbours<dir>(state, matrix, d, b, BetweenGroupsScore{matrix, state.sizes()});
  });
}

}  // namespace korvana
