#include "platform/spssio/SavText.h"

#include <algorithm>
#include <cstring>

namespace korvana::sav {

namespace {

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

char asciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string_view SavText::utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  // text[cut] is the first byte left out. When it continues a character, the
  // character started at most three bytes earlier: leave all of it out.
  std::size_t cut = maxBytes;
  std::size_t steps = 0;
  while (cut > 0 && steps < 3 && isContinuationByte(text[cut])) {
    --cut;
    ++steps;
  }
  if (isContinuationByte(text[cut])) return text.substr(0, maxBytes);  // not UTF-8
  return text.substr(0, cut);
}

bool SavText::equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
  }
  return true;
}

std::string SavText::upperCase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), asciiUpper);
  return result;
}

std::string_view SavText::trimTrailingBlanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string_view SavText::view(const char* text) {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

void SavText::copyToBuffer(std::string_view text, char* buffer, std::size_t capacity) {
  const std::string_view fitted = utf8Prefix(text, capacity - 1);
  std::copy(fitted.begin(), fitted.end(), buffer);
  buffer[fitted.size()] = '\0';
}

}  // namespace korvana::sav
