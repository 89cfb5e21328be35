// The seven linkage methods generalised to groups of clusters: the working
// proximity between a cluster I = i1 ∪ … ∪ ip, formed by joining p clusters at
// once, and a cluster J = j1 ∪ … ∪ jq (q = 1 for a cluster that was not
// joined) from the proximities between their parts. With p = 2 and q = 1
// every rule is the pair-group update of the method's ClusterMethod, and it is
// evaluated in the same extended-precision steps, so that a join of two
// clusters gives the same bits as the pair-group run does.
//
// n_i are the parts' sizes, n_I = Σ n_i, n_J = Σ n_j; M(a, b) is the working
// matrix's cell; sums run over i in I and j in J, and over the pairs i < i' of
// I's parts (likewise j < j' in J).
//
//   between groups  M holds sums of proximities: M(I, J) = Σ M(i, j).
//                   The proximity is M(I, J) / (n_I n_J).
//   within groups   M holds the same sums, and every cluster its within sum:
//                   W(I) = Σ_{i<i'} M(i, i') + Σ W(i). The proximity of I and
//                   J is the mean of all N(N − 1)/2 proximities inside I ∪ J,
//                   N = n_I + n_J: (M(I, J) + W(I) + W(J)) / (N(N − 1)/2).
//                   Every pair of objects inside I ∪ J lies either inside one
//                   part (counted in that part's W), between two parts of I or
//                   two parts of J (the pair sums of W(I) and W(J)), or between
//                   a part of I and a part of J (M(I, J)), each exactly once.
//   single          the best of the M(i, j); complete: the worst of them.
//   centroid        with w_i = n_i / n_I and w_j = n_j / n_J, the squared
//                   distance between the centroids:
//                   Σ w_i w_j M(i, j) − Σ_{i<i'} w_i w_i' M(i, i')
//                                     − Σ_{j<j'} w_j w_j' M(j, j').
//   median          the same with equal weights, 1/p and 1/q (the centre of a
//                   group is the plain mean of its parts' centres):
//                   Σ M(i, j)/(pq) − Σ_{i<i'} M(i, i')/p² − Σ_{j<j'} M(j, j')/q².
//                   For similarities the rule is applied to 1 − M, which gives
//                   Σ M(i, j)/(pq) + Σ_{i<i'} (1 − M(i, i'))/p² + Σ_{j<j'} (1 − M(j, j'))/q².
//   Ward            twice the rise of the within-cluster sum of squares,
//                   2 n_I n_J / (n_I + n_J) times the squared centroid
//                   distance; written with the parts' values
//                   M(i, j) = 2 n_i n_j / (n_i + n_j) × |c_i − c_j|²:
//                   (Σ (n_i + n_j) M(i, j) − n_J Σ_{i<i'} (n_i + n_i')/n_I M(i, i')
//                                          − n_I Σ_{j<j'} (n_j + n_j')/n_J M(j, j')) / (n_I + n_J).
//
// Terms are summed in the order of the parts given, and a rule's value is
// symmetric in I and J only up to that order: the caller gives the parts in a
// fixed order (the agglomeration gives them by their lowest object number),
// which makes every value independent of the working order of the objects.
#pragma once

#include <vector>

#include "engine/ExtendedPrecision.h"

namespace korvana {

class ClusterMethod;
class SimilarityMatrix;

class GroupLinkage {
 public:
  enum class Kind { betweenGroups, withinGroups, single, complete, centroid, median, ward };

  /// The rule of a method (known by its keyword); EKorvanaError for another.
  static Kind kindOf(const ClusterMethod& method);

  GroupLinkage(Kind kind, bool isDissimilarity) : kind_(kind), isDissimilarity_(isDissimilarity) {}
  Kind kind() const { return kind_; }
  bool isDissimilarity() const { return isDissimilarity_; }

  /// One side of a combination: its parts (working indices, in the fixed
  /// order), their sizes (indexed by working index) and the term computed by
  /// prepare from the proximities among its own parts.
  struct Group {
    const int* parts = nullptr;
    int count = 0;
    int size = 0;
    Extended term = 0;
  };

  /// Sets the group's size and the term of its parts' own proximities.
  void prepare(const SimilarityMatrix& matrix, const int* sizes, Group& group) const;
  /// The working value between two groups (a cluster that was not joined is
  /// a group of one part, prepared like any other); `first` comes first in
  /// the fixed order.
  double combine(const SimilarityMatrix& matrix, const int* sizes, const Group& first, const Group& second) const;
  /// combine(group, {other}) for every cluster `others[k]` whose `joined`
  /// entry is negative (one that is not part of a group), written into the
  /// cell of (keeper, other). A cluster of one part has no term of its own, so
  /// the value is the same whichever side comes first.
  void combineWithEach(SimilarityMatrix& matrix, const int* sizes, const Group& group, int keeper, const int* others,
                       int count, const int* joined) const;
  /// Within groups: the within sum of the joined group.
  double joinedWithinSum(const SimilarityMatrix& matrix, const double* withinSums, const Group& group) const;

  /// The proximity of clusters x ≠ y the agglomeration compares: the cell
  /// itself, or the mean that between- and within-groups linkage keep as sums
  /// (the same expressions as the pair-group scores).
  double score(const SimilarityMatrix& matrix, const int* sizes, const double* withinSums, int x, int y) const;
  /// Whether score is the cell itself.
  bool scoreIsCell() const { return kind_ != Kind::betweenGroups && kind_ != Kind::withinGroups; }

 private:
  Kind kind_;
  bool isDissimilarity_;
};

}  // namespace korvana
