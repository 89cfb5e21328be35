#include "platform/spss/outputdoc/CellText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace korvana::spss {

namespace {

bool isDigitChar(char c) { return c == '#' || c == '0'; }

// Locale-independent: always "." as the separator, whatever the C locale says.
std::string fixed(double value, std::int32_t decimals) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string scientificUpper(double value, std::int32_t decimals) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, decimals);
  std::string text(buffer, result.ptr);
  for (char& c : text)
    if (c == 'e') c = 'E';
  return text;
}

std::string withSeparator(std::string text, char separator) {
  if (separator != '.')
    for (char& c : text)
      if (c == '.') c = separator;
  return text;
}

std::string groupThousands(const std::string& text, char groupChar) {
  std::size_t start = (text[0] == '-') ? 1 : 0;
  std::size_t end = text.find('.');
  if (end == std::string::npos) end = text.size();
  std::string out = text.substr(0, start);
  for (std::size_t i = start; i < end; ++i) {
    out += text[i];
    const std::size_t left = end - i - 1;
    if (left > 0 && left % 3 == 0) out += groupChar;
  }
  return out + text.substr(end);
}

}  // namespace

std::optional<NumberFormat> NumberFormat::parse(const std::string& pattern) {
  NumberFormat format;
  std::size_t i = 0;
  std::size_t integerDigits = 0;
  while (i < pattern.size() && (isDigitChar(pattern[i]) || pattern[i] == ',')) {
    if (pattern[i] == ',')
      format.grouping = true;
    else
      ++integerDigits;
    ++i;
  }
  if (integerDigits == 0) return std::nullopt;
  if (i < pattern.size() && pattern[i] == '.') {
    ++i;
    while (i < pattern.size() && isDigitChar(pattern[i])) {
      ++format.decimals;
      ++i;
    }
  }
  if (i < pattern.size() && (pattern[i] == 'E' || pattern[i] == 'e')) {
    format.scientific = true;
    ++i;
    if (i < pattern.size() && (pattern[i] == '+' || pattern[i] == '-')) {
      format.alwaysSignExponent = pattern[i] == '+';
      ++i;
    }
    while (i < pattern.size() && isDigitChar(pattern[i])) {
      ++format.exponentDigits;
      ++i;
    }
    if (format.exponentDigits == 0) return std::nullopt;
  }
  if (i != pattern.size() || format.decimals > 16) return std::nullopt;
  return format;
}

std::string NumberFormat::apply(double value, char separator) const {
  if (!scientific) {
    std::string text = fixed(value, decimals);
    if (grouping) text = groupThousands(text, separator == ',' ? '.' : ',');
    return withSeparator(text, separator);
  }
  const std::string text = scientificUpper(value, decimals);
  const std::size_t e = text.find('E');
  const std::string mantissa = text.substr(0, e);
  const char sign = text[e + 1];
  std::string digits = text.substr(e + 2);
  while (digits.size() > 1 && digits.front() == '0' && static_cast<std::int32_t>(digits.size()) > exponentDigits)
    digits.erase(digits.begin());
  while (static_cast<std::int32_t>(digits.size()) < exponentDigits) digits.insert(digits.begin(), '0');
  std::string exponent = "E";
  if (sign == '-' || alwaysSignExponent) exponent += sign;
  return withSeparator(mantissa, separator) + exponent + digits;
}

std::optional<ReadNumber> readNumber(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  ReadNumber number;
  std::string normalized;
  std::size_t i = begin;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normalized += '-';
    ++i;
  }
  std::size_t mantissaDigits = 0;
  while (i < end && std::isdigit(static_cast<unsigned char>(text[i]))) {
    normalized += text[i++];
    ++mantissaDigits;
  }
  bool integral = true;
  if (i < end && (text[i] == '.' || text[i] == ',')) {
    number.separator = text[i];
    integral = false;
    normalized += '.';
    ++i;
    while (i < end && std::isdigit(static_cast<unsigned char>(text[i]))) {
      normalized += text[i++];
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < end && (text[i] == 'E' || text[i] == 'e')) {
    integral = false;
    normalized += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) normalized += text[i++];
    std::size_t exponentDigits = 0;
    while (i < end && std::isdigit(static_cast<unsigned char>(text[i]))) {
      normalized += text[i++];
      ++exponentDigits;
    }
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  const auto [ptr, ec] = std::from_chars(normalized.data(), normalized.data() + normalized.size(), number.value);
  if (ec != std::errc() || ptr != normalized.data() + normalized.size() || !std::isfinite(number.value))
    return std::nullopt;
  number.integral = integral;
  return number;
}

std::string cellDisplayText(const PivotCell& cell) {
  if (!cell.decimals && cell.numberFormat.empty()) return cell.value;
  const std::optional<ReadNumber> number = readNumber(cell.value);
  if (!number) return cell.value;
  if (cell.decimals) {
    // Whole numbers shown without decimals keep every digit they were given.
    if (*cell.decimals == 0 && number->integral) return cell.value;
    return withSeparator(fixed(number->value, *cell.decimals), number->separator);
  }
  const std::optional<NumberFormat> format = NumberFormat::parse(cell.numberFormat);
  if (!format) return cell.value;
  return format->apply(number->value, number->separator);
}

}  // namespace korvana::spss
