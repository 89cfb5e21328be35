// The order-free tree of a proximity matrix: the multidendrogram of the
// variable-group agglomeration (VariableGroupAgglomeration), which joins at
// each step every cluster tied at the best proximity, two or more at once, so
// that the tree is the same whatever the order of the objects.
//
// A merge names the clusters it joins by their lowest object numbers
// (0-based, matrix numbering); it has a height (the best proximity among the
// joined clusters, the tie value) and the range of the proximities between
// them. Its cluster key (ClusterTally's objectKey summed over its objects) is
// what a permutation's merge forming the same objects has, so the tree's
// clusters can be compared with the permutations' trees.
//
// The fit is that of any solution: the cophenetic height of two objects is
// the height of the merge that joins them. It is summed in a fixed order: the
// merges in order, and each merge as a chain of joins of two (its first
// cluster with the second, the result with the third, …), each a
// ClusterSolution stage over object lists that are themselves formed in that
// fixed order. Each join's fitting height is the one a permutation's stage of
// that value gets (ClusterMethod::adjustCoefficient and fittingHeight: for
// Ward's method the merge value given back from the accumulated
// coefficients), so that the fits compare like for like. The binary form's
// coefficients are the merges' heights themselves: it is also the tree the
// text dendrogram lays out, where the joins of one merge share its height and
// column, so the merge reads as one bracket.
#pragma once

#include <memory>
#include <vector>

#include "engine/ClusterSolution.h"
#include "engine/ClusterTally.h"
#include "engine/Hierarchy.h"

namespace korvana {

class ClusterMethod;
class ProximityMatrix;

struct OrderFreeMerge {
  /// The joined clusters, each named by its lowest object number, ascending;
  /// the merged cluster is named by the first.
  std::vector<int> clusters;
  double height = 0.0;
  double lowest = 0.0;   ///< the lowest proximity between two of the joined clusters
  double highest = 0.0;  ///< the highest
  int objectCount = 0;   ///< of the merged cluster
  ClusterKey key;        ///< of the merged cluster
  int firstStage = 0;    ///< its first join in the binary form
};

class OrderFreeTree {
 public:
  /// The tree of n objects from its merges in order (every cluster a merge
  /// joins is an object or formed by an earlier merge, and the merges end in
  /// one cluster); fills in each merge's object count, key and first stage,
  /// and sums the fit over the matrix's proximities with the method's
  /// fitting heights.
  OrderFreeTree(const ProximityMatrix& matrix, const ClusterMethod& method, std::vector<OrderFreeMerge> merges);

  int getObjectCount() const { return binary_->getObjectCount(); }
  const std::vector<OrderFreeMerge>& getMerges() const { return merges_; }
  /// The keys of the clusters the merges form, merge by merge.
  std::vector<ClusterKey> clusterKeys() const;
  /// The rounded normalized SSDif (13 significant digits), as a permutation's.
  double getNormalizedSSDif() const { return binary_->getNormalizedSSDif(); }
  double getCopheneticCorrelation() const { return binary_->getCopheneticCorrelation(); }
  double getSumOfSquares() const { return binary_->getSumOfSquares(); }
  /// The tree as n − 1 joins of two: each merge of k clusters as k − 1
  /// stages at its height (the coefficient), in the order described above.
  const ClusterSolution& getBinaryForm() const { return *binary_; }
  /// Its hierarchy, formed as a permutation's: the joins of one merge share
  /// its height and fold into one cluster.
  HierarchyId hierarchyId() const;

 private:
  std::vector<OrderFreeMerge> merges_;
  std::unique_ptr<ClusterSolution> binary_;
};

}  // namespace korvana
