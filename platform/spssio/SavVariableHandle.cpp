#include "platform/spssio/SavVariableHandle.h"

#include <cmath>

namespace korvana::sav {

double SavVariableHandle::encode(std::uint32_t serial, std::uint64_t position) {
  return static_cast<double>(std::uint64_t{serial} * kPositionsPerFile + position);
}

std::optional<std::uint64_t> SavVariableHandle::decode(double handle, std::uint32_t serial,
                                                       std::uint64_t variableCount) {
  constexpr double kLimit = 4503599627370496.0;  // 2^52
  if (!std::isfinite(handle) || handle < 0 || handle >= kLimit || std::floor(handle) != handle) {
    return std::nullopt;
  }
  const auto value = static_cast<std::uint64_t>(handle);
  if (value / kPositionsPerFile != serial) return std::nullopt;
  const std::uint64_t position = value % kPositionsPerFile;
  if (position >= variableCount) return std::nullopt;
  return position;
}

}  // namespace korvana::sav
