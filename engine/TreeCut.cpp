#include "engine/TreeCut.h"

#include <string>

#include "common/EKorvanaError.h"
#include "engine/ClusterSolution.h"
#include "engine/Hierarchy.h"

namespace korvana {

TreeCut::TreeCut(const ClusterSolution& solution)
    : TreeCut(solution.getObjectCount(), solution.getClusters1(), solution.getClusters2()) {}

TreeCut::TreeCut(int objectCount, const std::vector<int>& cluster1, const std::vector<int>& cluster2)
    : cluster1_(cluster1),
      cluster2_(cluster2),
      objectCount_(objectCount),
      clusters_(objectCount),
      parent_(static_cast<std::size_t>(objectCount)),
      keys_(static_cast<std::size_t>(objectCount)) {
  for (int o = 0; o < clusters_; ++o) {
    parent_[static_cast<std::size_t>(o)] = o;
    keys_[static_cast<std::size_t>(o)] = objectKey(o);
  }
}

void TreeCut::cutTo(int k) {
  const int n = objectCount_;
  if (k < 1 || k > n || k > clusters_)
    throw EKorvanaError("A tree of " + std::to_string(n) + " objects cut into " + std::to_string(clusters_) +
                        " clusters cannot be cut into " + std::to_string(k));
  for (; clusters_ > k; --clusters_, ++merged_) {
    const auto first = static_cast<std::size_t>(cluster1_.at(static_cast<std::size_t>(merged_)));
    const auto second = static_cast<std::size_t>(cluster2_.at(static_cast<std::size_t>(merged_)));
    parent_[second] = static_cast<int>(first);
    keys_[first] += keys_[second];
  }
}

std::vector<int> TreeCut::memberships() const {
  const std::size_t n = parent_.size();
  // The first object of each object's cluster: a parent is always a lower
  // object, whose first object is known by then.
  std::vector<int> cluster(n);
  int next = 0;
  for (std::size_t o = 0; o < n; ++o) {
    const auto parent = static_cast<std::size_t>(parent_[o]);
    cluster[o] = parent == o ? ++next : cluster[parent];
  }
  return cluster;
}

ClusterKey TreeCut::partitionKey() const {
  std::vector<ClusterKey> clusters;
  clusters.reserve(static_cast<std::size_t>(clusters_));
  for (std::size_t o = 0; o < parent_.size(); ++o)
    if (parent_[o] == static_cast<int>(o)) clusters.push_back(keys_[o]);
  const HierarchyId id = hierarchyIdOf(clusters);
  ClusterKey key;
  for (std::size_t i = 0; i < 8; ++i) {
    key.first = key.first << 8 | id[i];
    key.second = key.second << 8 | id[8 + i];
  }
  return key;
}

std::vector<int> clusterMembership(const ClusterSolution& solution, int k) {
  TreeCut cut(solution);
  cut.cutTo(k);
  return cut.memberships();
}

std::vector<int> clusterMembership(int objectCount, const std::vector<int>& cluster1, const std::vector<int>& cluster2,
                                   int k) {
  TreeCut cut(objectCount, cluster1, cluster2);
  cut.cutTo(k);
  return cut.memberships();
}

bool isTiedCut(const ClusterSolution& solution, int k) {
  const int n = solution.getObjectCount();
  // Merges n − k and n − k + 1 are stages n − k − 1 and n − k.
  const int last = n - k - 1;
  if (last < 0 || last + 1 >= solution.getStageCount()) return false;
  return sameHeight(solution.getHeight(last), solution.getHeight(last + 1));
}

}  // namespace korvana
