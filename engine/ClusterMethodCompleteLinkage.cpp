#include "engine/ClusterMethodCompleteLinkage.h"

namespace korvana {

ClusterMethodCompleteLinkage::ClusterMethodCompleteLinkage()
    : ClusterMethod("Furthest neighbor", "Complete Linkage", "complete") {}

void ClusterMethodCompleteLinkage::mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) {
  withDirection([&]<Direction dir>() {
    updateProximities(state, matrix, d, b, [](int, double fromD, double fromB) {
      return isStrictlyWorse<dir>(fromB, fromD) ? fromB : fromD;
    });
    state.joinMembers(d, b);
    updateNearestNeighbours<dir>(state, matrix, d, b, PlainScore{matrix});
  });
}

}  // namespace korvana
