// Seeded random permutations of n objects, drawn from a 32-bit linear
// congruential generator (state × 134775813 + 1 mod 2^32), so that every
// permutation of an analysis can be reproduced from the state reported before
// it: a generator constructed with that state draws the same permutation next.
#pragma once

#include <cstdint>
#include <vector>

namespace korvana {

class RandomPermutationGenerator {
 public:
  /// The state starts as the seed's two's-complement bit pattern.
  RandomPermutationGenerator(std::int32_t seed, int n);

  /// The current state, read as a signed 32-bit integer.
  std::int32_t getState() const { return static_cast<std::int32_t>(state_); }

  /// A new permutation (entry i: the object number of working index i). The
  /// identity leaves the state alone; a random one consumes exactly n steps,
  /// exchanging entry j with j + random(n − j) for j = 0 … n − 1.
  std::vector<int> nextPermutation(bool identity);

  /// One generator step: an integer in 0 … m − 1 (m ≥ 1), the high 32 bits of
  /// the 64-bit product state × m.
  int random(int m);

  /// Moves the state on by `steps` generator steps at once (in O(log steps)),
  /// as if that many random numbers had been drawn.
  void skip(std::uint64_t steps);

 private:
  int n_;
  std::uint32_t state_;
};

}  // namespace korvana
