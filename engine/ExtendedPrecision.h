// Extended precision and the direction-aware comparisons of the clustering.
//
// Every clustering formula is evaluated with intermediate results in x87
// extended precision (a 64-bit significand) and rounded to a double where its
// result is stored; this is what decides how ties fall, so it is part of the
// results, not an optimisation detail. `Extended` names that type.
//
// Comparisons are made between stored doubles, in the direction of the
// proximities: for dissimilarities "better" means smaller, for similarities
// larger. A difference that is not a number never makes a test fail: it counts
// as "strictly better" and as "at least as good", and it is never "strictly
// worse".
#pragma once

#include <cfloat>
#include <cstdint>
#include <limits>

namespace korvana {

static_assert(LDBL_MANT_DIG == 64 && std::numeric_limits<long double>::digits == 64,
              "Korvana needs long double to be x87 extended precision (64-bit significand)");

using Extended = long double;

/// The start value of every nearest-neighbour search; proximities must lie
/// strictly inside (-kProximityLimit, +kProximityLimit).
inline constexpr double kProximityLimit = 1e50;

/// The two proximity directions as a compile-time tag for the hot loops.
enum class Direction { dissimilarity, similarity };

/// s × (x − y) < 0, or the difference is not a number.
template <Direction dir>
inline bool isStrictlyBetter(double x, double y) {
  const double diff = x - y;  // sign and NaN-ness equal those of the extended difference
  if constexpr (dir == Direction::dissimilarity) return !(diff >= 0);
  else return !(diff <= 0);
}

/// s × (x − y) ≤ 0, or the difference is not a number.
template <Direction dir>
inline bool isAtLeastAsGood(double x, double y) {
  const double diff = x - y;
  if constexpr (dir == Direction::dissimilarity) return !(diff > 0);
  else return !(diff < 0);
}

/// s × (x − y) > 0; false when the difference is not a number.
template <Direction dir>
inline bool isStrictlyWorse(double x, double y) {
  const double diff = x - y;
  if constexpr (dir == Direction::dissimilarity) return diff > 0;
  else return diff < 0;
}

/// s × kProximityLimit: the worst possible value, where every search starts.
template <Direction dir>
inline constexpr double worstValue() {
  return dir == Direction::dissimilarity ? kProximityLimit : -kProximityLimit;
}

/// The product of two cluster sizes as the 32-bit integer it is defined to be
/// (wrapping on overflow, without undefined behaviour).
inline std::int32_t int32Product(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

}  // namespace korvana
