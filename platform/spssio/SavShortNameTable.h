// Short names for the variable records of a data file.
//
// Every variable record holds an 8-byte name, unique in the file without
// regard to case; the full names follow in a separate record that maps each
// short name to its full name. A full name of up to 8 bytes is its own short
// name (upper-cased). A longer name gets its first 8 bytes, upper-cased, unless
// that is taken (by any other variable, also one defined later) or would end
// in '.'; then a shorter prefix with "_1", "_2", ... "_9", "_A", ... "_Z",
// "_10", ... (base 36) is tried until one is free.
#pragma once

#include <string>
#include <vector>

namespace korvana::sav {

class SavShortNameTable {
 public:
  static constexpr std::size_t kShortNameLength = 8;

  // Short names for names that are valid (SavVariableName) and unique without
  // regard to case, in the same order.
  static std::vector<std::string> assign(const std::vector<std::string>& names);
};

}  // namespace korvana::sav
