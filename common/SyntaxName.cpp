#include "common/SyntaxName.h"

#include <unicode/uchar.h>

#include <array>

#include "common/EKorvanaError.h"
#include "common/PrintableText.h"
#include "common/Utf8.h"

namespace korvana {

namespace {

bool isAsciiLetter(char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'); }

bool canStart(char32_t c) {
  if (c < 0x80) return isAsciiLetter(c) || c == U'@';
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ID_START) != 0;
}

bool canFollow(char32_t c) {
  if (c < 0x80)
    return isAsciiLetter(c) || (c >= U'0' && c <= U'9') || c == U'.' || c == U'_' || c == U'$' || c == U'#' ||
           c == U'@';
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ID_CONTINUE) != 0;
}

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool isReservedSyntaxWord(std::string_view name) {
  static constexpr std::array<std::string_view, 13> kReserved = {"ALL", "AND", "BY", "EQ", "GE", "GT", "LE",
                                                                 "LT",  "NE",  "NOT", "OR", "TO", "WITH"};
  for (const std::string_view word : kReserved) {
    if (word.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < word.size() && same; ++i) same = upperAscii(name[i]) == word[i];
    if (same) return true;
  }
  return false;
}

bool isSyntaxName(std::string_view name) {
  if (name.empty() || name.size() > kMaxSyntaxNameLength || name.back() == '.') return false;
  for (std::size_t at = 0; at < name.size();) {
    const utf8::Decoded decoded = utf8::decode(name, at);
    if (!decoded.valid || !(at == 0 ? canStart(decoded.codePoint) : canFollow(decoded.codePoint))) return false;
    at += decoded.length;
  }
  return !isReservedSyntaxWord(name);
}

std::string syntaxNameFrom(std::string_view text) {
  if (isSyntaxName(text)) return std::string(text);
  std::string name;
  bool first = true;
  for (std::size_t at = 0; at < text.size();) {
    const utf8::Decoded decoded = utf8::decode(text, at);
    std::string piece = decoded.valid && canFollow(decoded.codePoint) ? std::string(text.substr(at, decoded.length))
                                                                      : std::string("_");
    if (first && !(decoded.valid && canStart(decoded.codePoint))) piece.insert(0, "@");
    // Cut at a character's end, with room for a '_' after a final '.' or a
    // reserved word.
    if (name.size() + piece.size() > kMaxSyntaxNameLength - 1) break;
    name += piece;
    first = false;
    at += decoded.length;
  }
  if (name.empty()) name = "@";
  if (name.back() == '.') name.back() = '_';
  if (isReservedSyntaxWord(name)) name += '_';
  return name;
}

std::string quotedSyntaxText(std::string_view text, const std::string& what) {
  if (!isPrintableText(text))
    throw EKorvanaError(what + " '" + printableText(text) +
                        "' holds a line break or another control character and cannot be written into a command");
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

}  // namespace korvana
