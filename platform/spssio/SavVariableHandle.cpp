#include "platform/spssio/SavVariableHandle.h"

#include <cmath>

namespace korvana::sav {

double SavVariableHandle::encode(std::uint32_t serial, std::uint64_t position) {
  return static_cast<double>(std::uint64_t{serial} * kPositionsPerFile + position);
}

std::optional<std::uint64_t> SavVariableHandle::decode(double handle, std::uint32_t serial,
                                                       std::uint64_t variableCount) {
  constexpr double kLimit = 4503599627370496.0;  // 2^52
  // The comparisons are false for not-a-number; a fraction does not survive
  // the round trip through an integer. (Called once per value written.)
  if (!(handle >= 0 && handle < kLimit)) return std::nullopt;
  const auto value = static_cast<std::uint64_t>(handle);
  if (static_cast<double>(value) != handle) return std::nullopt;
  if (value / kPositionsPerFile != serial) return std::nullopt;
  const std::uint64_t position = value % kPositionsPerFile;
  if (position >= variableCount) return std::nullopt;
  return position;
}

}  // namespace korvana::sav
