#include "platform/spssio/SavVariableName.h"

#include "common/SyntaxName.h"

namespace korvana::sav {

namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool SavVariableName::isReservedWord(std::string_view name) { return isReservedSyntaxWord(name); }

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
