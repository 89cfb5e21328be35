// A solution's schedule as scipy's linkage matrix and as a drawing's leaf
// order.
#include <algorithm>

#include "include/korvana/korvana.h"

#include "common/EKorvanaError.h"
#include "engine/TreeCut.h"

namespace korvana::api {

std::vector<std::array<double, 4>> Solution::linkage() const {
  const std::size_t stages = cluster1.size();
  const std::size_t n = stages + 1;
  // The scipy number and size of the cluster each lowest object names.
  std::vector<double> number(n), size(n, 1.0);
  for (std::size_t o = 0; o < n; ++o) number[o] = static_cast<double>(o);
  std::vector<std::array<double, 4>> z(stages);
  for (std::size_t t = 0; t < stages; ++t) {
    const auto a = static_cast<std::size_t>(cluster1[t]);
    const auto b = static_cast<std::size_t>(cluster2[t]);
    const double count = size[a] + size[b];
    z[t] = {std::min(number[a], number[b]), std::max(number[a], number[b]), height[t], count};
    number[a] = static_cast<double>(n + t);
    size[a] = count;
  }
  return z;
}

std::vector<int> Solution::membership(int k) const {
  const int n = static_cast<int>(cluster1.size()) + 1;
  if (k < 1 || k > n)
    throw InvalidInput("a tree of " + std::to_string(n) + " objects cannot be cut into " + std::to_string(k) +
                       " clusters: k must lie from 1 to " + std::to_string(n));
  return clusterMembership(n, cluster1, cluster2, k);
}

std::vector<int> Solution::leafOrder() const {
  // Each cluster's leaves as a linked list, the first cluster's before the
  // second's: joining two lists is O(1).
  const std::size_t n = cluster1.size() + 1;
  std::vector<int> next(n, -1), last(n);
  for (std::size_t o = 0; o < n; ++o) last[o] = static_cast<int>(o);
  for (std::size_t t = 0; t < cluster1.size(); ++t) {
    const auto a = static_cast<std::size_t>(cluster1[t]);
    const auto b = static_cast<std::size_t>(cluster2[t]);
    next[static_cast<std::size_t>(last[a])] = static_cast<int>(b);
    last[a] = last[b];
  }
  std::vector<int> order;
  order.reserve(n);
  // The root is named by object 0, the lowest of all.
  for (int o = 0; o >= 0; o = next[static_cast<std::size_t>(o)]) order.push_back(o);
  return order;
}

}  // namespace korvana::api
