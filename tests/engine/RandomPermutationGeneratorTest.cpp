#include "engine/RandomPermutationGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace korvana {
namespace {

using Permutation = std::vector<int>;

TEST(RandomPermutationGenerator, Seed4000000GivesTheKnownSequenceAndStates) {
  RandomPermutationGenerator generator(4000000, 5);
  EXPECT_EQ(generator.getState(), 4000000);
  EXPECT_EQ(generator.nextPermutation(false), (Permutation{3, 1, 4, 0, 2}));
  const std::int32_t secondSeed = generator.getState();
  EXPECT_EQ(generator.nextPermutation(false), (Permutation{0, 1, 4, 3, 2}));
  EXPECT_EQ(generator.nextPermutation(false), (Permutation{3, 0, 1, 2, 4}));

  // A generator started with the state reported before the second draw
  // reproduces that permutation.
  RandomPermutationGenerator replay(secondSeed, 5);
  EXPECT_EQ(replay.nextPermutation(false), (Permutation{0, 1, 4, 3, 2}));
}

TEST(RandomPermutationGenerator, Seed1) {
  RandomPermutationGenerator generator(1, 5);
  EXPECT_EQ(generator.nextPermutation(false), (Permutation{0, 4, 2, 3, 1}));
}

TEST(RandomPermutationGenerator, EveryPermutationConsumesExactlyNSteps) {
  RandomPermutationGenerator byPermutation(123, 7);
  RandomPermutationGenerator bySteps(123, 7);
  byPermutation.nextPermutation(false);
  for (int i = 0; i < 7; ++i) bySteps.random(7 - i);
  EXPECT_EQ(byPermutation.getState(), bySteps.getState());

  // n = 1 gives the permutation 0 and still advances the state by one step.
  RandomPermutationGenerator single(99, 1);
  EXPECT_EQ(single.nextPermutation(false), Permutation{0});
  EXPECT_EQ(static_cast<std::uint32_t>(single.getState()), 99u * 134775813u + 1u);
}

TEST(RandomPermutationGenerator, IdentityLeavesTheStateAlone) {
  RandomPermutationGenerator withIdentity(4000000, 5);
  EXPECT_EQ(withIdentity.nextPermutation(true), (Permutation{0, 1, 2, 3, 4}));
  EXPECT_EQ(withIdentity.getState(), 4000000);
  EXPECT_EQ(withIdentity.nextPermutation(false), (Permutation{3, 1, 4, 0, 2}));
}

TEST(RandomPermutationGenerator, NegativeSeedsUseTheirBitPattern) {
  RandomPermutationGenerator negative(-1, 6);
  RandomPermutationGenerator pattern(static_cast<std::int32_t>(0xFFFFFFFFu), 6);
  EXPECT_EQ(negative.getState(), -1);
  EXPECT_EQ(negative.nextPermutation(false), pattern.nextPermutation(false));
  // The step from 0xFFFFFFFF wraps modulo 2^32.
  RandomPermutationGenerator step(-1, 1);
  step.random(1);
  EXPECT_EQ(static_cast<std::uint32_t>(step.getState()), 0xFFFFFFFFu * 134775813u + 1u);
}

TEST(RandomPermutationGenerator, RandomStaysInRangeAndPermutationsAreComplete) {
  RandomPermutationGenerator generator(std::numeric_limits<std::int32_t>::min(), 50);
  for (int m : {1, 2, 3, 1000, 2147483647}) {
    for (int i = 0; i < 200; ++i) {
      const int r = generator.random(m);
      ASSERT_GE(r, 0);
      ASSERT_LT(r, m);
    }
  }
  for (int i = 0; i < 20; ++i) {
    Permutation p = generator.nextPermutation(false);
    std::sort(p.begin(), p.end());
    Permutation expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    ASSERT_EQ(p, expected);
  }
}

}  // namespace
}  // namespace korvana
