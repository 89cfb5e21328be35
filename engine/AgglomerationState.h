// The bookkeeping of one agglomeration run, indexed by working index 0 … n − 1:
// the active clusters (ascending, each named by its lowest working index), their
// sizes, member lists and within-cluster sums. Allocated once per analysis and
// reset at the start of every run.
//
// Member lists are linked lists (MemberLists), so that joining cluster b onto
// cluster d (members of d followed by members of b) costs O(1) and the whole
// state stays O(n) however the runs of an analysis go.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/MemberLists.h"

namespace korvana {

class AgglomerationState {
 public:
  explicit AgglomerationState(int n);

  /// Back to n singleton clusters: active list 0 … n − 1, sizes 1, members [i],
  /// within sums 0.
  void reset();

  int objectCount() const { return n_; }
  int activeCount() const { return activeCount_; }
  int activeAt(int position) const { return active_[static_cast<std::size_t>(position)]; }
  const int* activeList() const { return active_.data(); }
  /// Removes the cluster at `position`, shifting the later ones down.
  void removeActiveAt(int position);

  int size(int cluster) const { return sizes_[static_cast<std::size_t>(cluster)]; }
  const int* sizes() const { return sizes_.data(); }
  double withinSum(int cluster) const { return withinSums_[static_cast<std::size_t>(cluster)]; }
  void setWithinSum(int cluster, double value) { withinSums_[static_cast<std::size_t>(cluster)] = value; }
  const double* withinSums() const { return withinSums_.data(); }

  /// Cluster d takes over the members of b (appended after its own); b is
  /// left empty with size 0.
  void joinMembers(int d, int b);

  /// Calls f(member) for the members of `cluster` in list order.
  template <class F>
  void forEachMember(int cluster, F&& f) const {
    members_.forEach(cluster, f);
  }
  const MemberLists& members() const { return members_; }

 private:
  int n_;
  int activeCount_ = 0;
  std::vector<int> active_;
  std::vector<int> sizes_;
  std::vector<double> withinSums_;
  MemberLists members_;
};

}  // namespace korvana
