// A linkage method of hierarchical agglomerative clustering: how the working
// proximities of a merged cluster to the other clusters are updated, and how
// the nearest neighbours of the rows are maintained afterwards.
//
// The seven methods are shared objects made once by ClusterMethodFactory; they
// keep no state between runs except what startRun resets. The order in which
// rows are scanned and the treatment of equal values are part of the results:
//   - the initial nearest neighbour of a row is the last of equally near
//     columns (SimilarityMatrix::fillFromMatrix);
//   - a rescanned row keeps the first (lowest) of equally near columns;
//   - the selection of a merge takes the last of equally good rows
//     (agglomerate).
// Every formula is evaluated in extended precision and rounded to a double
// where stored; comparisons are made between stored doubles.
#pragma once

#include <algorithm>
#include <string>

#include "engine/AgglomerationState.h"
#include "engine/ExtendedPrecision.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

class ClusterMethod {
 public:
  ClusterMethod(std::string name, std::string displayName);
  virtual ~ClusterMethod();
  ClusterMethod(const ClusterMethod&) = delete;
  ClusterMethod& operator=(const ClusterMethod&) = delete;

  /// Starts a run on proximities of the given direction.
  virtual void startRun(bool isDissimilarity);
  /// Turns a stage's merge value into its coefficient (unchanged by default).
  virtual void adjustCoefficient(double& value);
  /// Clusters d < b have been selected and b is already gone from the active
  /// list: absorb b into d, update the working proximities of d, the cluster
  /// bookkeeping and the nearest neighbours.
  virtual void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) = 0;

  /// The name in the method list and the Notes table.
  const std::string& getName() const { return name_; }
  /// The name in output headings and the dendrogram.
  const std::string& getDisplayName() const { return displayName_; }
  bool isDissimilarity() const { return isDissimilarity_; }

 protected:
  /// The score of a pair of clusters when the working matrix holds the
  /// proximities themselves.
  struct PlainScore {
    const SimilarityMatrix& matrix;
    double operator()(int row, int column) const { return matrix.cell(row, column); }
  };

  /// Nearest-neighbour maintenance after a merge, for every method but single
  /// linkage. Rows below d hold neither d nor b and are left alone. A row whose
  /// nearest neighbour was d or b, and row d itself, is rescanned (keeping the
  /// first of equal scores); any other row only checks its score to d.
  template <Direction dir, class Score>
  static void updateNearestNeighbours(const AgglomerationState& state, SimilarityMatrix& matrix,
                                      int d, int b, const Score& score) {
    const int count = state.activeCount();
    const int* active = state.activeList();
    for (int k = static_cast<int>(std::lower_bound(active, active + count, d) - active); k < count; ++k) {
      const int x = active[k];
      const int nearest = matrix.getNearest(x);
      if (x == d || nearest == b || nearest == d) {
        int best = -1;
        double bestValue = worstValue<dir>();
        for (int j = 0; j < k; ++j) {
          const int y = active[j];
          const double value = score(x, y);
          if (isStrictlyBetter<dir>(value, bestValue)) {
            best = y;
            bestValue = value;
          }
        }
        matrix.setNearest(x, best);
        matrix.setNearestValue(x, bestValue);
      } else {
        const double value = score(x, d);
        if (isStrictlyBetter<dir>(value, matrix.getNearestValue(x))) {
          matrix.setNearest(x, d);
          matrix.setNearestValue(x, value);
        }
      }
    }
  }

  /// Calls f.template operator()<dir>() with the direction of the current run.
  template <class F>
  void withDirection(F&& f) const {
    if (isDissimilarity_) f.template operator()<Direction::dissimilarity>();
    else f.template operator()<Direction::similarity>();
  }

  bool isDissimilarity_ = true;

 private:
  std::string name_;
  std::string displayName_;
};

/// The new working proximity of (x, d) computed by `rule(x, Mxd, Mxb)` for
/// every active cluster x ≠ d, in list order.
template <class Rule>
inline void updateProximities(const AgglomerationState& state, SimilarityMatrix& matrix, int d, int b,
                              Rule&& rule) {
  const int count = state.activeCount();
  const int* active = state.activeList();
  for (int k = 0; k < count; ++k) {
    const int x = active[k];
    if (x == d) continue;
    double& cell = x > d ? matrix.cell(x, d) : matrix.cell(d, x);
    const double fromB = x > b ? matrix.cell(x, b) : matrix.cell(b, x);
    cell = rule(x, cell, fromB);
  }
}

}  // namespace korvana
