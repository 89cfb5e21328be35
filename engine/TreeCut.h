// A tree cut into k clusters: the partition its first n − k merges leave
// (what cutree gives for a binary tree). The clusters are numbered 1 … k by
// their first object in the matrix's order, and the partition is known by a
// key formed from its clusters' keys (ClusterTally's keys) the way a
// hierarchy's id is formed from its clusters', so that it depends neither on
// the order of the clusters nor on the order of the objects.
//
// A cut walks the merges once: cutting one tree for several k, from the most
// clusters down, costs O(n) per k.
#pragma once

#include <vector>

#include "engine/ClusterTally.h"

namespace korvana {

class ClusterSolution;

class TreeCut {
 public:
  /// The n singletons of the solution's objects.
  explicit TreeCut(const ClusterSolution& solution);
  /// The same for a schedule given as its merged clusters per stage (each
  /// named by its lowest object, cluster1 < cluster2), which must outlive
  /// the cut.
  TreeCut(int objectCount, const std::vector<int>& cluster1, const std::vector<int>& cluster2);

  /// Applies the merges up to the one that leaves k clusters. Throws
  /// EKorvanaError when k is outside 1 … n or above the clusters left now.
  void cutTo(int k);
  int clusters() const { return clusters_; }

  /// Per object (matrix numbering) its cluster, 1 … k.
  std::vector<int> memberships() const;
  /// The key of the partition.
  ClusterKey partitionKey() const;

 private:
  const std::vector<int>& cluster1_;
  const std::vector<int>& cluster2_;
  int objectCount_;
  int clusters_;
  int merged_ = 0;
  /// Per object: the first object of the cluster its cluster joined, or
  /// itself while it is the first of its cluster (always lower: a merged
  /// cluster is named after its first object).
  std::vector<int> parent_;
  /// Per first object of a cluster: the cluster's key.
  std::vector<ClusterKey> keys_;
};

/// The cluster (1 … k) of every object when the solution is cut into k.
std::vector<int> clusterMembership(const ClusterSolution& solution, int k);
/// The same for a schedule given by its merged clusters per stage.
std::vector<int> clusterMembership(int objectCount, const std::vector<int>& cluster1, const std::vector<int>& cluster2,
                                   int k);

/// Whether the cut into k clusters depends on how a tie was broken: merge
/// n − k and merge n − k + 1 have the same height to 13 significant digits.
bool isTiedCut(const ClusterSolution& solution, int k);

}  // namespace korvana
