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

void RandomPermutationGenerator::skip(std::uint64_t steps) {
  // The step x -> a x + c, applied k times, is x -> A x + C; squaring the
  // step for every bit of k composes it in O(log k) (all mod 2^32).
  std::uint32_t a = 134775813u, c = 1u, totalA = 1u, totalC = 0u;
  for (; steps > 0; steps >>= 1) {
    if (steps & 1u) {
      totalA *= a;
      totalC = totalC * a + c;
    }
    c = c * (a + 1u);
    a *= a;
  }
  state_ = state_ * totalA + totalC;
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
