// The member lists of the clusters of one agglomeration run, indexed by working
// index: singly linked through `next`, so that appending the members of one
// cluster to those of another costs O(1) and the lists of a whole run need
// O(n) space.
#pragma once

#include <cstddef>
#include <vector>

namespace korvana {

class MemberLists {
 public:
  explicit MemberLists(int n);

  /// Back to n singletons: the list of i is [i].
  void reset();
  /// The list of d becomes its own members followed by those of b; the list
  /// of b becomes empty.
  void join(int d, int b);

  /// Calls f(member) for the members of `cluster` in list order.
  template <class F>
  void forEach(int cluster, F&& f) const {
    for (int m = head_[static_cast<std::size_t>(cluster)]; m >= 0; m = next_[static_cast<std::size_t>(m)]) f(m);
  }

 private:
  std::vector<int> head_;  // first member, −1 for an empty list
  std::vector<int> tail_;  // last member
  std::vector<int> next_;  // member after this one, −1 at the end
};

}  // namespace korvana
