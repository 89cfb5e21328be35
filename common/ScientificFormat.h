// Scientific number text for the output tables, and the 13-significant-digit
// rounding of fit values (a value is formatted with n = 13 and parsed back).
//
// Text shape, for a finite value rounded to n significant digits:
//
//     [-]D<sep>DDD...DE(+|-)XXX
//
//   - an optional minus sign (also written for negative zero);
//   - one digit;
//   - when n > 1: the decimal separator followed by n - 1 digits
//     (with n == 1 neither the separator nor any fraction digit is written);
//   - the letter 'E', the exponent's sign, and the exponent in at least three
//     digits, zero-padded ("E+003", "E-001", "E+308", "E-324").
//
// Examples: formatScientific(1234.5, 13) == "1.234500000000E+003",
//           formatScientific(0.5, 8)     == "5.0000000E-001",
//           formatScientific(0.0, 8)     == "0.0000000E+000",
//           formatScientific(2.5, 1)     == "2E+000".
//
// Rounding is the correct rounding of the exact binary value of the double
// to n significant decimal digits; an exact decimal tie goes to the even
// digit. The digits are those of the C library's "%.*e" conversion with
// precision n - 1, so they match printf in the C locale digit for digit.
//
// The decimal separator is the one of the user's number settings: the
// LC_NUMERIC category as given by the environment (LC_ALL, LC_NUMERIC, LANG),
// looked up once per process and cached. It does not follow the process's
// global locale (setlocale) or a thread's locale (uselocale); if the
// environment names a locale that cannot be loaded, the separator is ".".
// It may be more than one byte long.
//
// Non-finite values are not numbers in this format and are written as fixed
// words: any NaN (whatever its sign bit or payload) as "NaN", +infinity as
// "Inf", -infinity as "-Inf". parseScientific does not accept these words.
//
// All functions are safe to call from several threads at once.

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvana {

// The value rounded to n significant digits, in the shape described above,
// with the user's decimal separator. Requires n >= 1; throws
// std::invalid_argument otherwise.
std::string formatScientific(double value, int n);

// Reads text of the shape formatScientific writes for finite values, with the
// user's decimal separator, and returns the double nearest to its exact
// decimal value (ties to even). Accepted, and nothing else:
//
//     optional '-', one or more digits,
//     optionally the separator followed by one or more digits,
//     'E', '+' or '-', one or more digits.
//
// Returns std::nullopt for any other text: surrounding blanks, trailing
// characters, a leading '+', a lower-case 'e', a missing exponent sign,
// another separator, "NaN", "Inf", "-Inf". Also returns std::nullopt when the
// value lies outside the range of double, i.e. a nonzero value that would
// round to infinity or to zero.
std::optional<double> parseScientific(std::string_view text);

// The value rounded to n significant decimal digits, as a double: the text of
// formatScientific read back by parseScientific. Values that have no such
// text (not-a-number, infinities) and values whose rounding leaves the range
// of double come back unchanged. The fit values are rounded with n = 13.
double roundToSignificantDigits(double value, int n);

// The user's decimal separator used by formatScientific and parseScientific
// (cached on first use; never empty).
std::string decimalSeparator();

namespace detail {

// formatScientific with an explicit decimal separator in place of the user's.
// Requires n >= 1 and a non-empty separator; throws std::invalid_argument
// otherwise.
std::string formatScientificWith(double value, int n,
                                 std::string_view separator);

// parseScientific with an explicit decimal separator in place of the user's.
// Requires a non-empty separator; throws std::invalid_argument otherwise.
std::optional<double> parseScientificWith(std::string_view text,
                                          std::string_view separator);

// The LC_NUMERIC decimal separator of the named locale; "" names the one the
// environment selects. Returns "." when localeName is null, when the locale
// cannot be loaded, or when it defines an empty separator. Not cached.
std::string decimalSeparatorOf(const char* localeName);

}  // namespace detail

}  // namespace korvana
