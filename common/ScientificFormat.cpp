#include "common/ScientificFormat.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <system_error>

namespace korvana {

namespace {

// The "C" locale as a locale object, created once. Null if it could not be
// created, in which case the conversion runs in whatever locale the thread
// has; formatScientificWith copes with any radix character.
locale_t classicLocale() {
  static const locale_t locale =
      newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// Makes a locale current for the calling thread only, for the scope's
// lifetime, and restores the thread's previous locale afterwards.
class ThreadLocaleScope {
 public:
  explicit ThreadLocaleScope(locale_t locale)
      : previous_(locale != static_cast<locale_t>(0)
                      ? uselocale(locale)
                      : static_cast<locale_t>(0)) {}
  ~ThreadLocaleScope() {
    if (previous_ != static_cast<locale_t>(0)) uselocale(previous_);
  }
  ThreadLocaleScope(const ThreadLocaleScope&) = delete;
  ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;

 private:
  locale_t previous_;
};

const std::string& userSeparator() {
  static const std::string separator = detail::decimalSeparatorOf("");
  return separator;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Index of the first non-digit at or after pos.
std::size_t skipDigits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && isDigit(text[pos])) ++pos;
  return pos;
}

}  // namespace

namespace detail {

std::string formatScientificWith(double value, int n,
                                 std::string_view separator) {
  if (n < 1) {
    throw std::invalid_argument(
        "formatScientific: the number of significant digits must be >= 1");
  }
  if (separator.empty()) {
    throw std::invalid_argument(
        "formatScientific: the decimal separator must not be empty");
  }
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";

  // "%.*e" writes [-]d[<radix>ddd]e(+|-)dd[d]: sign, n digits, a radix
  // character of a few bytes at most, 'e', sign and at most three exponent
  // digits for a double. 16 spare bytes cover everything but the digits.
  std::string raw(static_cast<std::size_t>(n) + 16, '\0');
  int length = 0;
  {
    ThreadLocaleScope scope(classicLocale());
    length = std::snprintf(raw.data(), raw.size(), "%.*e", n - 1, value);
  }
  if (length < 0 || static_cast<std::size_t>(length) >= raw.size()) {
    throw std::runtime_error("formatScientific: conversion failed");
  }
  raw.resize(static_cast<std::size_t>(length));

  // Rebuild the text around the digits. The radix character is located only
  // by position (between the leading digit and the last n - 1 digits before
  // 'e'), so its actual bytes do not matter.
  const std::size_t ePos = raw.rfind('e');
  const std::size_t fractionDigits = static_cast<std::size_t>(n - 1);
  const std::size_t leadPos = raw[0] == '-' ? 1 : 0;
  if (ePos == std::string::npos || ePos + 2 >= raw.size() ||
      ePos < leadPos + 1 + fractionDigits) {
    throw std::runtime_error("formatScientific: unexpected conversion output");
  }

  std::string out;
  out.reserve(raw.size() + separator.size() + 2);
  out.append(raw, 0, leadPos + 1);  // sign and leading digit
  if (fractionDigits > 0) {
    out.append(separator);
    out.append(raw, ePos - fractionDigits, fractionDigits);
  }
  out += 'E';
  out += raw[ePos + 1];  // exponent sign
  const std::size_t exponentDigits = raw.size() - (ePos + 2);
  if (exponentDigits < 3) out.append(3 - exponentDigits, '0');
  out.append(raw, ePos + 2, exponentDigits);
  return out;
}

std::optional<double> parseScientificWith(std::string_view text,
                                          std::string_view separator) {
  if (separator.empty()) {
    throw std::invalid_argument(
        "parseScientific: the decimal separator must not be empty");
  }

  // Validate the shape and build the same number with '.' as the radix, for
  // std::from_chars (which is locale-independent).
  std::string plain;
  plain.reserve(text.size() + 1);
  std::size_t pos = 0;

  if (pos < text.size() && text[pos] == '-') plain += text[pos++];

  std::size_t end = skipDigits(text, pos);
  if (end == pos) return std::nullopt;
  plain.append(text.substr(pos, end - pos));
  pos = end;

  if (text.substr(pos).starts_with(separator)) {
    pos += separator.size();
    end = skipDigits(text, pos);
    if (end == pos) return std::nullopt;
    plain += '.';
    plain.append(text.substr(pos, end - pos));
    pos = end;
  }

  if (pos >= text.size() || text[pos] != 'E') return std::nullopt;
  plain += 'e';
  ++pos;

  if (pos >= text.size() || (text[pos] != '+' && text[pos] != '-')) {
    return std::nullopt;
  }
  plain += text[pos++];

  end = skipDigits(text, pos);
  if (end == pos || end != text.size()) return std::nullopt;
  plain.append(text.substr(pos, end - pos));

  double value = 0.0;
  const char* const last = plain.data() + plain.size();
  const auto [stop, error] = std::from_chars(plain.data(), last, value,
                                             std::chars_format::scientific);
  if (error != std::errc() || stop != last) return std::nullopt;
  return value;
}

std::string decimalSeparatorOf(const char* localeName) {
  if (localeName == nullptr) return ".";
  const locale_t locale =
      newlocale(LC_NUMERIC_MASK, localeName, static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return ".";
  const char* radix = nl_langinfo_l(RADIXCHAR, locale);
  std::string separator = radix != nullptr ? radix : "";
  freelocale(locale);
  if (separator.empty()) return ".";
  return separator;
}

}  // namespace detail

std::string formatScientific(double value, int n) {
  return detail::formatScientificWith(value, n, userSeparator());
}

std::optional<double> parseScientific(std::string_view text) {
  return detail::parseScientificWith(text, userSeparator());
}

std::string decimalSeparator() { return userSeparator(); }

double roundToSignificantDigits(double value, int n) {
  const std::optional<double> parsed = parseScientific(formatScientific(value, n));
  return parsed ? *parsed : value;
}

}  // namespace korvana
