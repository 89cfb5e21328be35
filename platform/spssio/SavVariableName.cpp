#include "platform/spssio/SavVariableName.h"

#include "platform/spssio/SavText.h"

#include <array>

namespace korvana::sav {

namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool SavVariableName::isReservedWord(std::string_view name) {
  static constexpr std::array<std::string_view, 13> kReserved = {
      "ALL", "AND", "BY", "EQ", "GE", "GT", "LE", "LT", "NE", "NOT", "OR", "TO", "WITH"};
  for (const std::string_view word : kReserved) {
    if (SavText::equalsIgnoreCase(name, word)) return true;
  }
  return false;
}

bool SavVariableName::isValid(std::string_view name) {
  if (name.empty() || name.size() > kMaxLength) return false;
  if (!isAsciiLetter(name.front()) && name.front() != '@') return false;
  for (const char c : name.substr(1)) {
    const bool allowed = isAsciiLetter(c) || isAsciiDigit(c) || c == '.' || c == '_' ||
                         c == '$' || c == '#' || c == '@';
    if (!allowed) return false;
  }
  if (name.back() == '.') return false;
  return !isReservedWord(name);
}

}  // namespace korvana::sav
