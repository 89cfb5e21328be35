#include "engine/OrderFreeTree.h"

#include <numeric>
#include <string>

#include "common/EKorvanaError.h"
#include "engine/ClusterMethod.h"
#include "engine/MemberLists.h"
#include "engine/ProximityMatrix.h"

namespace korvana {

OrderFreeTree::OrderFreeTree(const ProximityMatrix& matrix, const ClusterMethod& method,
                             std::vector<OrderFreeMerge> merges)
    : merges_(std::move(merges)) {
  const int n = matrix.getNumberOfObjects();
  const auto un = static_cast<std::size_t>(n);
  std::vector<int> identity(un);
  std::iota(identity.begin(), identity.end(), 0);
  binary_ = std::make_unique<ClusterSolution>(n, matrix.getSumOfSquares(), n > 0 ? n - 1 : 0, std::move(identity), 0,
                                              true);
  // Indexed by object number: a cluster's entries sit at its name.
  MemberLists members(n);
  std::vector<int> sizes(un, 1);
  std::vector<ClusterKey> keys(un);
  for (int o = 0; o < n; ++o) keys[static_cast<std::size_t>(o)] = objectKey(o);
  const auto refuse = [](std::size_t merge, const std::string& problem) {
    throw EKorvanaError("Merge " + std::to_string(merge + 1) + " of an order-free tree " + problem);
  };
  const std::unique_ptr<ClusterMethod> heights = method.clone();
  heights->startRun(matrix.isDissimilarity());
  double coefficient = 0.0;
  int stage = 0;
  for (std::size_t m = 0; m < merges_.size(); ++m) {
    OrderFreeMerge& merge = merges_[m];
    if (merge.clusters.size() < 2) refuse(m, "joins fewer than two clusters");
    for (std::size_t k = 0; k < merge.clusters.size(); ++k) {
      const int c = merge.clusters[k];
      if (c < 0 || c >= n || sizes[static_cast<std::size_t>(c)] == 0) refuse(m, "joins a cluster that does not exist");
      if (k > 0 && c <= merge.clusters[k - 1]) refuse(m, "lists its clusters out of order");
    }
    merge.firstStage = stage;
    const int first = merge.clusters.front();
    const auto uf = static_cast<std::size_t>(first);
    for (std::size_t k = 1; k < merge.clusters.size(); ++k, ++stage) {
      const int next = merge.clusters[k];
      const auto ux = static_cast<std::size_t>(next);
      const double previous = coefficient;
      coefficient = merge.height;
      heights->adjustCoefficient(coefficient);
      const double height = heights->fittingHeight(coefficient, previous);
      binary_->recordMerge(stage, next, first, members, merge.height, height);
      binary_->accumulateFit(stage, next, first, matrix, members, height);
      members.join(first, next);
      sizes[uf] += sizes[ux];
      sizes[ux] = 0;
      keys[uf] += keys[ux];
    }
    merge.objectCount = sizes[uf];
    merge.key = keys[uf];
  }
  if (n > 0 && stage != n - 1)
    throw EKorvanaError("An order-free tree of " + std::to_string(n) + " objects has " + std::to_string(stage) +
                        " joins instead of " + std::to_string(n - 1));
  binary_->computeRoundedFit();
  binary_->computeSolutionId();
}

std::vector<ClusterKey> OrderFreeTree::clusterKeys() const {
  std::vector<ClusterKey> keys;
  keys.reserve(merges_.size());
  for (const OrderFreeMerge& merge : merges_) keys.push_back(merge.key);
  return keys;
}

HierarchyId OrderFreeTree::hierarchyId() const { return hierarchyOf(*binary_, clusterKeysOf(*binary_)).id; }

}  // namespace korvana
