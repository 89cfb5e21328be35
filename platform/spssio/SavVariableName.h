// The rules for variable names in a data file.
//
// A name has 1 to 64 bytes. It starts with an ASCII letter or '@'; the other
// characters are ASCII letters, digits or one of . _ $ # @; it does not end in
// '.' and is not a reserved word (ALL AND BY EQ GE GT LE LT NE NOT OR TO WITH,
// in any case). Names starting with '#' (scratch variables) or '$' (system
// variables) cannot be stored in a data file and are refused.
#pragma once

#include <string_view>

namespace korvana::sav {

class SavVariableName {
 public:
  static constexpr std::size_t kMaxLength = 64;

  static bool isValid(std::string_view name);
  static bool isReservedWord(std::string_view name);
};

}  // namespace korvana::sav
