#include "engine/ClusterMethodWard.h"

namespace korvana {

ClusterMethodWard::ClusterMethodWard() : ClusterMethod("Ward's method", "Ward Linkage", "ward") {}

void ClusterMethodWard::startRun(bool isDissimilarity) {
  ClusterMethod::startRun(isDissimilarity);
  accumulatedCoefficient_ = 0.0;
}

void ClusterMethodWard::adjustCoefficient(double& value) {
  accumulatedCoefficient_ = static_cast<double>(accumulatedCoefficient_ + static_cast<Extended>(value) * 0.5L);
  value = accumulatedCoefficient_;
}

double ClusterMethodWard::fittingHeight(double coefficient, double previousCoefficient) const {
  return static_cast<double>((static_cast<Extended>(coefficient) - previousCoefficient) * 2);
}

void ClusterMethodWard::mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) {
  const int sizeD = state.size(d);
  const int sizeB = state.size(b);
  const Extended between = matrix.cell(b, d);
  const int* sizes = state.sizes();
  updateProximities(state, matrix, d, b, [&](int x, double fromD, double fromB) {
    const int sizeX = sizes[x];
    return static_cast<double>((static_cast<Extended>(sizeX + sizeD) * fromD +
                                static_cast<Extended>(sizeX + sizeB) * fromB - sizeX * between) /
                               (sizeB + sizeD + sizeX));
  });
  state.joinMembers(d, b);
  withDirection([&]<Direction dir>() { updateNearestNeighbours<dir>(state, matrix, d, b, PlainScore{matrix}); });
}

}  // namespace korvana
