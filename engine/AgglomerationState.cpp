#include "engine/AgglomerationState.h"

#include <algorithm>
#include <numeric>

#include "common/EKorvanaError.h"

namespace korvana {

AgglomerationState::AgglomerationState(int n) : n_(n), members_(n) {
  if (n < 0) throw EKorvanaError("The number of objects cannot be negative");
  const auto size = static_cast<std::size_t>(n);
  active_.resize(size);
  sizes_.resize(size);
  withinSums_.resize(size);
  reset();
}

void AgglomerationState::reset() {
  activeCount_ = n_;
  std::iota(active_.begin(), active_.end(), 0);
  std::fill(sizes_.begin(), sizes_.end(), 1);
  std::fill(withinSums_.begin(), withinSums_.end(), 0.0);
  members_.reset();
}

void AgglomerationState::removeActiveAt(int position) {
  std::copy(active_.begin() + position + 1, active_.begin() + activeCount_, active_.begin() + position);
  --activeCount_;
}

void AgglomerationState::joinMembers(int d, int b) {
  const auto ud = static_cast<std::size_t>(d);
  const auto ub = static_cast<std::size_t>(b);
  members_.join(d, b);
  sizes_[ud] += sizes_[ub];
  sizes_[ub] = 0;
}

}  // namespace korvana
