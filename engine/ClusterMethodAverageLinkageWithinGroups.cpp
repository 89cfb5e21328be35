#include "engine/ClusterMethodAverageLinkageWithinGroups.h"

namespace korvana {

namespace {

struct WithinGroupsScore {
  const SimilarityMatrix& matrix;
  const int* sizes;
  const double* withinSums;
  double operator()(int x, int y) const {
    const std::int32_t count = sizes[x] + sizes[y];
    const std::int32_t pairs = int32Product(count, count - 1) >> 1;
    const double sum =
        static_cast<double>(matrix.cell(x, y) + (static_cast<Extended>(withinSums[x]) + withinSums[y]));
    return static_cast<double>(static_cast<Extended>(sum) / pairs);
  }
};

}  // namespace

ClusterMethodAverageLinkageWithinGroups::ClusterMethodAverageLinkageWithinGroups()
    : ClusterMethod("Within-groups linkage", "Average Linkage (Within Groups)", "within") {}

void ClusterMethodAverageLinkageWithinGroups::mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix,
                                                            int d, int b) {
  const double withinSum = static_cast<double>(
      matrix.cell(b, d) + (static_cast<Extended>(state.withinSum(d)) + state.withinSum(b)));
  state.setWithinSum(d, withinSum);
  state.joinMembers(d, b);
  updateProximities(state, matrix, d, b, [](int, double fromD, double fromB) {
    return static_cast<double>(static_cast<Extended>(fromD) + fromB);
  });
  withDirection([&]<Direction dir>() {
    updateNearestNeighbours<dir>(state, matrix, d, b,
                                 WithinGroupsScore{matrix, state.sizes(), state.withinSums()});
  });
}

}  // namespace korvana
