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
#include <memory>
#include <string>
#include <type_traits>

#include "engine/AgglomerationState.h"
#include "engine/ExtendedPrecision.h"
#include "engine/SimilarityMatrix.h"

namespace korvana {

class ClusterMethod {
 public:
  /// keyword: the method's short name for command lines and files
  /// ("average", "within", "single", "complete", "centroid", "median", "ward").
  ClusterMethod(std::string name, std::string displayName, std::string keyword);
  virtual ~ClusterMethod();
  ClusterMethod& operator=(const ClusterMethod&) = delete;

  /// A new instance of the same method for runs of its own: the state a run
  /// keeps (the direction, Ward's accumulated coefficient) is per instance,
  /// so runs on several threads each use a copy.
  virtual std::unique_ptr<ClusterMethod> clone() const = 0;

  /// Starts a run on proximities of the given direction.
  virtual void startRun(bool isDissimilarity);
  /// Turns a stage's merge value into its coefficient (unchanged by default).
  virtual void adjustCoefficient(double& value);
  /// The height of a stage's merge in the fitted tree (the cophenetic value),
  /// from its coefficient and the previous stage's: the coefficient itself
  /// unless the method accumulates its coefficients.
  virtual double fittingHeight(double coefficient, double previousCoefficient) const;
  /// True for a method that changes few cells of the working matrix in a
  /// merge, so that a square working matrix (SimilarityMatrix), which reads
  /// the rows of the clusters joined whole but writes every change twice,
  /// pays. Methods that rewrite the merged cluster's every cell do better
  /// with the triangle, half the memory to pass through the caches.
  virtual bool prefersWholeRows() const { return false; }
  /// True for the methods whose updates assume squared Euclidean distances
  /// (centroid, median, Ward); the output warns when other proximities meet
  /// them.
  virtual bool needsSquaredEuclidean() const { return false; }
  /// Clusters d < b have been selected and b is already gone from the active
  /// list: absorb b into d, update the working proximities of d, the cluster
  /// bookkeeping and the nearest neighbours.
  virtual void mergeClusters(AgglomerationState& state, SimilarityMatrix& matrix, int d, int b) = 0;

  /// The name in the method list and the Notes table.
  const std::string& getName() const { return name_; }
  /// The name in output headings and the dendrogram.
  const std::string& getDisplayName() const { return displayName_; }
  const std::string& getKeyword() const { return keyword_; }
  bool isDissimilarity() const { return isDissimilarity_; }

 protected:
  ClusterMethod(const ClusterMethod&) = default;

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
    if (matrix.isSquare()) updateNearest<dir, true>(state, matrix, d, b, score);
    else updateNearest<dir, false>(state, matrix, d, b, score);
  }

  /// updateNearestNeighbours for one layout. In the square one the score to d
  /// is read from row d (every score is the same in either order).
  template <Direction dir, bool square, class Score>
  static void updateNearest(const AgglomerationState& state, SimilarityMatrix& matrix, int d, int b,
                            const Score& score) {
    const int count = state.activeCount();
    const int* active = state.activeList();
    for (int k = static_cast<int>(std::lower_bound(active, active + count, d) - active); k < count; ++k) {
      const int x = active[k];
      const int nearest = matrix.getNearest(x);
      if (x == d || nearest == b || nearest == d) {
        int best = -1;
        double bestValue = worstValue<dir>();
        if constexpr (std::is_same_v<Score, PlainScore>) {
          if (scanRowFinite<dir>(matrix.rowCells(x), active, k, best, bestValue)) {
            matrix.setNearest(x, best);
            matrix.setNearestValue(x, bestValue);
            continue;
          }
        } else if constexpr (requires { score.template rescan<dir>(x, active, k, best, bestValue); }) {
          if (score.template rescan<dir>(x, active, k, best, bestValue)) {
            matrix.setNearest(x, best);
            matrix.setNearestValue(x, bestValue);
            continue;
          }
        }
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
        const double value = square ? score(d, x) : score(x, d);
        if (isStrictlyBetter<dir>(value, matrix.getNearestValue(x))) {
          matrix.setNearest(x, d);
          matrix.setNearestValue(x, value);
        }
      }
    }
  }

  /// The rescan of a row over the active columns active[0 … k − 1] when every
  /// value is finite: the first of the best values, found with independent
  /// lanes instead of one long dependency chain. Returns false (and leaves the
  /// outputs alone) when a value is not finite; the caller then takes the
  /// exact sequential scan, whose not-a-number rules this does not model.
  template <Direction dir>
  static bool scanRowFinite(const double* row, const int* active, int k, int& best, double& bestValue) {
    constexpr int kLanes = 4;
    double laneValue[kLanes];
    int laneIndex[kLanes];
    double probe[kLanes];
    for (int l = 0; l < kLanes; ++l) {
      laneValue[l] = worstValue<dir>();
      laneIndex[l] = -1;
      probe[l] = 0.0;
    }
    int j = 0;
    for (; j + kLanes <= k; j += kLanes)
      for (int l = 0; l < kLanes; ++l) {
        const double value = row[active[j + l]];
        probe[l] += value * 0.0;  // becomes NaN on an infinite or NaN value
        const bool better = dir == Direction::dissimilarity ? value < laneValue[l] : value > laneValue[l];
        laneValue[l] = better ? value : laneValue[l];
        laneIndex[l] = better ? j + l : laneIndex[l];
      }
    for (; j < k; ++j) {
      const double value = row[active[j]];
      probe[0] += value * 0.0;
      const bool better = dir == Direction::dissimilarity ? value < laneValue[0] : value > laneValue[0];
      laneValue[0] = better ? value : laneValue[0];
      laneIndex[0] = better ? j : laneIndex[0];
    }
    if (!(probe[0] + probe[1] + probe[2] + probe[3] == 0.0)) return false;
    int index = -1;
    double value = worstValue<dir>();
    for (int l = 0; l < kLanes; ++l) {
      if (laneIndex[l] < 0) continue;
      const bool better = dir == Direction::dissimilarity ? laneValue[l] < value : laneValue[l] > value;
      if (better || (laneValue[l] == value && index >= 0 && laneIndex[l] < index)) {
        value = laneValue[l];
        index = laneIndex[l];
      }
    }
    best = index >= 0 ? active[index] : -1;
    bestValue = value;
    return true;
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
  std::string keyword_;
};

/// The layout of the working matrices of `jobs` runs of `method` at once on n
/// objects: square where the method prefers whole rows and they fit
/// (squareLayoutFits), else triangle.
inline WorkingLayout workingLayoutFor(const ClusterMethod& method, int n, int jobs) {
  return method.prefersWholeRows() && squareLayoutFits(n, jobs) ? WorkingLayout::square : WorkingLayout::triangle;
}

/// The new working proximity of (x, d) computed by `rule(x, Mxd, Mxb)` for
/// every active cluster x ≠ d, in list order.
template <class Rule>
inline void updateProximities(const AgglomerationState& state, SimilarityMatrix& matrix, int d, int b,
                              Rule&& rule) {
  const int count = state.activeCount();
  const int* active = state.activeList();
  if (matrix.isSquare()) {
    // Rows d and b from one end to the other; column d follows row d.
    double* rowD = matrix.rowCells(d);
    const double* rowB = matrix.rowCells(b);
    for (int k = 0; k < count; ++k) {
      const int x = active[k];
      if (x == d) continue;
      const double value = rule(x, rowD[x], rowB[x]);
      rowD[x] = value;
      matrix.cell(x, d) = value;
    }
    return;
  }
  for (int k = 0; k < count; ++k) {
    const int x = active[k];
    if (x == d) continue;
    double& cell = x > d ? matrix.cell(x, d) : matrix.cell(d, x);
    const double fromB = x > b ? matrix.cell(x, b) : matrix.cell(b, x);
    cell = rule(x, cell, fromB);
  }
}

}  // namespace korvana
