// Variable handles: the double a caller gets from sav_get_var_handle and hands
// back with every value call.
//
// A handle encodes the serial number of the open file (every open, for
// reading or writing, gets a new one) and the variable's position:
// serial * 2^24 + position. Serials run from 1 to 2^28 - 1 and positions from
// 0 to 2^24 - 1, so every handle is an integer below 2^52, exact in a double,
// and a handle of another file, of a file since closed, or any other double
// is recognised as not being one of this file's variables.
#pragma once

#include <cstdint>
#include <optional>

namespace korvana::sav {

class SavVariableHandle {
 public:
  static constexpr std::uint64_t kPositionsPerFile = std::uint64_t{1} << 24;
  static constexpr std::uint64_t kMaxVariables = kPositionsPerFile - 1;
  static constexpr std::uint32_t kMaxSerial = (std::uint32_t{1} << 28) - 1;

  static double encode(std::uint32_t serial, std::uint64_t position);

  // The position of the variable the handle names in the file with this
  // serial, provided it is below variableCount.
  static std::optional<std::uint64_t> decode(double handle, std::uint32_t serial,
                                             std::uint64_t variableCount);
};

}  // namespace korvana::sav
