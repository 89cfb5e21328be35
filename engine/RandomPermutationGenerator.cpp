#include "engine/RandomPermutationGenerator.h"

#include <numeric>
#include <utility>

#include "common/EKorvanaError.h"

namespace korvana {

RandomPermutationGenerator::RandomPermutationGenerator(std::int32_t seed, int n)
    : n_(n), state_(static_cast<std::uint32_t>(seed)) {
  if (n < 0) throw EKorvanaError("The number of objects cannot be negative");
}

int RandomPermutationGenerator::random(int m) {
  state_ = state_ * 134775813u + 1u;  // 0x08088405; unsigned arithmetic wraps mod 2^32
  return static_cast<int>((static_cast<std::uint64_t>(state_) * static_cast<std::uint32_t>(m)) >> 32);
}

std::vector<int> RandomPermutationGenerator::nextPermutation(bool identity) {
  std::vector<int> permutation(static_cast<std::size_t>(n_));
  std::iota(permutation.begin(), permutation.end(), 0);
  if (identity) return permutation;
  for (int j = 0; j < n_; ++j) {
    const int r = j + random(n_ - j);
    std::swap(permutation[static_cast<std::size_t>(j)], permutation[static_cast<std::size_t>(r)]);
  }
  return permutation;
}

}  // namespace korvana
