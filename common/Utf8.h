// The program's one UTF-8 codec. Text travels through the program as UTF-8 in
// std::string; the automation layer's command syntax travels as wide text.
//
// Malformed input is read one way everywhere: each maximal subpart of an
// ill-formed sequence (the longest start of a well-formed sequence, or a
// single byte when the byte cannot start one) is one U+FFFD. Overlong forms,
// surrogates (U+D800 to U+DFFF) and values above U+10FFFF are ill-formed.
// So "\xE2\x82" and "\xF0\x9F\x98" are one U+FFFD each, "\xC0\xAF" and
// "\xED\xA0\x80" are two and three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvana::utf8 {

inline constexpr char32_t replacementCharacter = U'\uFFFD';

constexpr bool isSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDFFF; }
constexpr bool isHighSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDBFF; }
constexpr bool isLowSurrogate(std::uint32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }
/// A code point that UTF-8 can carry: at most U+10FFFF and not a surrogate.
constexpr bool isScalarValue(std::uint32_t code) { return code <= 0x10FFFF && !isSurrogate(code); }
/// The code point of a UTF-16 surrogate pair.
constexpr char32_t fromSurrogatePair(std::uint32_t high, std::uint32_t low) {
  return static_cast<char32_t>(0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
}

struct Decoded {
  char32_t codePoint;  // U+FFFD for an ill-formed sequence
  std::size_t length;  // bytes read, at least 1
  bool valid;
};

/// Reads the character that starts at text[at] (at < text.size()): a
/// well-formed sequence gives its code point, an ill-formed one U+FFFD with
/// the length of its maximal subpart, so the next read starts at the first
/// byte that did not belong.
Decoded decode(std::string_view text, std::size_t at);

/// Appends a code point as UTF-8; a surrogate or a value above U+10FFFF
/// appends U+FFFD.
void append(std::string& out, char32_t codePoint);
std::string encode(char32_t codePoint);

/// The number of characters, one for each well-formed sequence and one for
/// each maximal ill-formed subpart (as each is shown as one U+FFFD).
std::size_t characterCount(std::string_view text);

/// True when the text is well-formed UTF-8 throughout.
bool isWellFormed(std::string_view text);
/// The text with each maximal ill-formed subpart replaced by U+FFFD.
std::string toWellFormed(std::string_view text);
/// Latin-1 (ISO 8859-1) text as UTF-8: every byte is the code point of its
/// value.
std::string fromLatin1(std::string_view text);

/// The text as wide characters: UTF-16 units where wchar_t is 16 bits, code
/// points where it is 32 bits.
std::wstring toWide(std::string_view text);
/// Wide text as UTF-8. A high surrogate followed by a low one is one
/// character (as UTF-16 writes it, in either width of wchar_t); a lone
/// surrogate or a value above U+10FFFF becomes U+FFFD.
std::string fromWide(std::wstring_view text);

}  // namespace korvana::utf8
