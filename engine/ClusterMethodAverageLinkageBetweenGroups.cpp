#include "engine/ClusterMethodAverageLinkageBetweenGroups.h"

namespace korvana {

namespace {

struct BetweenGroupsScore {
  const SimilarityMatrix& matrix;
  const int* sizes;
  double operator()(int x, int y) const {
    return static_cast<double>(static_cast<Extended>(matrix.cell(x, y)) / int32Product(sizes[x], sizes[y]));
  }
};

}  // namespace

ClusterMethodAverageLinkageBetweenGroups::ClusterMethodAverageLinkageBetweenGroups()
    : ClusterMethod("Between-groups linkage", "Average Linkage (Between Groups)") {}

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
