#include "engine/ClusterMethodSingleLinkage.h"

namespace korvana {

namespace {

template <Direction dir>
void mergeSingle(const AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) {
  const int count = state.activeCount();
  const int* active = state.activeList();
  for (int k = 0; k < count; ++k) {
    const int x = active[k];
    if (x == d) continue;
    double& cell = x > d ? matrix.cell(x, d) : matrix.cell(d, x);
    const double u = cell;
    const double w = x > b ? matrix.cell(x, b) : matrix.cell(b, x);
    if (isStrictlyBetter<dir>(w, u)) {
      cell = w;
      if (x < d) {
        // Row d holds x: equality is accepted here.
        if (isAtLeastAsGood<dir>(w, matrix.getNearestValue(d))) {
          matrix.setNearest(d, x);
          matrix.setNearestValue(d, w);
        }
      } else if (x < b) {
        if (isStrictlyBetter<dir>(w, matrix.getNearestValue(x))) {
          matrix.setNearest(x, d);
          matrix.setNearestValue(x, w);
        }
      } else if (matrix.getNearest(x) == b) {
        matrix.setNearest(x, d);
        matrix.setNearestValue(x, w);
      }
    } else if (x > b && matrix.getNearest(x) == b) {
      matrix.setNearest(x, d);
      matrix.setNearestValue(x, u);
    }
  }
}

}  // namespace

ClusterMethodSingleLinkage::ClusterMethodSingleLinkage() : ClusterMethod("Nearest neighbor", "Single Linkage", "single") {}

void ClusterMethodSingleLinkage::mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) {
  withDirection([&]<Direction dir>() { mergeSingle<dir>(state, matrix, d, b); });
  state.joinMembers(d, b);
}

}  // namespace korvana
