#include "engine/MemberLists.h"

#include <algorithm>
#include <numeric>

namespace korvana {

MemberLists::MemberLists(int n) {
  const auto size = static_cast<std::size_t>(std::max(n, 0));
  head_.resize(size);
  tail_.resize(size);
  next_.resize(size);
  reset();
}

void MemberLists::reset() {
  std::iota(head_.begin(), head_.end(), 0);
  std::iota(tail_.begin(), tail_.end(), 0);
  std::fill(next_.begin(), next_.end(), -1);
}

void MemberLists::join(int d, int b) {
  const auto ud = static_cast<std::size_t>(d);
  const auto ub = static_cast<std::size_t>(b);
  next_[static_cast<std::size_t>(tail_[ud])] = head_[ub];
  tail_[ud] = tail_[ub];
  head_[ub] = -1;
  tail_[ub] = -1;
}

}  // namespace korvana
