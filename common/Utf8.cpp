#include "common/Utf8.h"

#include <type_traits>

namespace korvana::utf8 {

Decoded decode(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {lead, 1, true};
  // The well-formed sequences: the lead byte fixes the length and the range
  // of the second byte (narrower after E0, ED, F0 and F4, which rules out
  // overlong forms, surrogates and values above U+10FFFF); every further
  // byte is 80 to BF.
  std::size_t length = 0;
  char32_t code = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {replacementCharacter, 1, false};
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (at + k >= text.size()) return {replacementCharacter, k, false};
    const unsigned char next = byte(at + k);
    if (next < low || next > high) return {replacementCharacter, k, false};
    code = (code << 6) | (next & 0x3Fu);
    low = 0x80;
    high = 0xBF;
  }
  return {code, length, true};
}

void append(std::string& out, char32_t codePoint) {
  const auto code = static_cast<std::uint32_t>(isScalarValue(codePoint) ? codePoint : replacementCharacter);
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string encode(char32_t codePoint) {
  std::string out;
  append(out, codePoint);
  return out;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); at += decode(text, at).length) ++count;
  return count;
}

std::wstring toWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Decoded d = decode(text, at);
    at += d.length;
    if constexpr (sizeof(wchar_t) == 2) {
      if (d.codePoint >= 0x10000) {
        out += static_cast<wchar_t>(0xD800 + ((d.codePoint - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((d.codePoint - 0x10000) & 0x3FF));
        continue;
      }
    }
    out += static_cast<wchar_t>(d.codePoint);
  }
  return out;
}

std::string fromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Through the unsigned type of the same width, so that a negative wchar_t
    // is a large value, not a small code point.
    using Unit = std::conditional_t<sizeof(wchar_t) == 2, std::uint16_t, std::uint32_t>;
    char32_t code = static_cast<Unit>(text[i]);
    if (isHighSurrogate(code) && i + 1 < text.size()) {
      const char32_t next = static_cast<Unit>(text[i + 1]);
      if (isLowSurrogate(next)) {
        code = fromSurrogatePair(code, next);
        ++i;
      }
    }
    append(out, code);  // a lone surrogate or a value beyond U+10FFFF is U+FFFD
  }
  return out;
}

bool isWellFormed(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const Decoded decoded = decode(text, at);
    if (!decoded.valid) return false;
    at += decoded.length;
  }
  return true;
}

std::string toWellFormed(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Decoded decoded = decode(text, at);
    if (decoded.valid) out.append(text.substr(at, decoded.length));
    else append(out, replacementCharacter);
    at += decoded.length;
  }
  return out;
}

std::string fromLatin1(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) append(out, static_cast<char32_t>(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace korvana::utf8
