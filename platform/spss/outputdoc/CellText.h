// How a data cell's value is shown: a value that reads as a number is written
// with the cell's decimals or number format; any other value as it was given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/spss/outputdoc/PivotTableModel.h"

namespace korvana::spss {

/// A number format such as "#.##E+##" (scientific, two decimals, an exponent
/// of at least two digits with its sign), "#.###" (fixed, three decimals) or
/// "#,###.#" (fixed with thousands separators). '0' may stand for '#'.
struct NumberFormat {
  std::int32_t decimals = 0;
  bool scientific = false;
  bool alwaysSignExponent = false;
  std::int32_t exponentDigits = 0;
  bool grouping = false;

  static std::optional<NumberFormat> parse(const std::string& pattern);
  /// The value written in this format, with the given decimal separator.
  std::string apply(double value, char separator) const;
};

/// A number read from text: optional sign, digits with "." or "," as the
/// decimal separator, optional exponent; surrounding blanks allowed. Texts
/// such as "nan", "inf", hexadecimal or empty are not numbers.
struct ReadNumber {
  double value = 0.0;
  char separator = '.';
  bool integral = false;  // digits only: no separator and no exponent
};
std::optional<ReadNumber> readNumber(const std::string& text);

/// The text the cell shows.
std::string cellDisplayText(const PivotCell& cell);

}  // namespace korvana::spss
