#include "engine/ClusterMethodCentroid.h"

namespace korvana {

ClusterMethodCentroid::ClusterMethodCentroid() : ClusterMethod("Centroid clustering", "Centroid Linkage", "centroid") {}

void ClusterMethodCentroid::mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) {
  const int sizeD = state.size(d);
  const int sizeB = state.size(b);
  const double weightB = static_cast<double>(static_cast<Extended>(sizeB) / (sizeB + sizeD));
  const double weightD = static_cast<double>(static_cast<Extended>(sizeD) / (sizeB + sizeD));
  const double weightBD = static_cast<double>(static_cast<Extended>(weightB) * weightD);
  const double between = matrix.cell(b, d);
  state.joinMembers(d, b);
  updateProximities(state, matrix, d, b, [&](int, double fromD, double fromB) {
    return static_cast<double>(static_cast<Extended>(weightB) * fromB + static_cast<Extended>(weightD) * fromD -
                               static_cast<Extended>(weightBD) * between);
  });
  withDirection([&]<Direction dir>() { updateNearestNeighbours<dir>(state, matrix, d, b, PlainScore{matrix}); });
}

}  // namespace korvana
