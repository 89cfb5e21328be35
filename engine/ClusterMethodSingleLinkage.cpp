#include "engine/ClusterMethodSingleLinkage.h"

namespace korvana {

namespace {

template <Direction dir, bool square>
void mergeSingle(const AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) {
  const int count = state.activeCount();
  const int* active = state.activeList();
  // In the square layout rows d and b are read from one end to the other.
  double* rowD = matrix.rowCells(d);
  const double* rowB = matrix.rowCells(b);
  for (int k = 0; k < count; ++k) {
    const int x = active[k];
    if (x == d) continue;
    double& cell = square ? rowD[x] : x > d ? matrix.cell(x, d) : matrix.cell(d, x);
    const double u = cell;
    const double w = square ? rowB[x] : x > b ? matrix.cell(x, b) : matrix.cell(b, x);
    if (isStrictlyBetter<dir>(w, u)) {
      cell = w;
      if (square) matrix.cell(x, d) = w;
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
  withDirection([&]<Direction dir>() {
    if (matrix.isSquare()) mergeSingle<dir, true>(state, matrix, d, b);
    else mergeSingle<dir, false>(state, matrix, d, b);
  });
  state.joinMembers(d, b);
}

}  // namespace korvana
