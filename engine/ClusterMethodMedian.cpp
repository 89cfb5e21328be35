#include "engine/ClusterMethodMedian.h"

namespace korvana {

ClusterMethodMedian::ClusterMethodMedian() : ClusterMethod("Median clustering", "Median Linkage", "median") {}

void ClusterMethodMedian::mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) {
  const Extended between = matrix.cell(b, d);
  if (isDissimilarity_) {
    updateProximities(state, matrix, d, b, [&](int, double fromD, double fromB) {
      return static_cast<double>((static_cast<Extended>(fromD) + fromB) * 0.5L - between * 0.25L);
    });
  } else {
    updateProximities(state, matrix, d, b, [&](int, double fromD, double fromB) {
      return static_cast<double>((static_cast<Extended>(fromD) + fromB) * 0.5L + (1.0L - between) * 0.25L);
    });
  }
  state.joinMembers(d, b);
  withDirection([&]<Direction dir>() { updateNearestNeighbours<dir>(state, matrix, d, b, PlainScore{matrix}); });
}

}  // namespace korvana
