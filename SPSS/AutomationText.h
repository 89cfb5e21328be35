// Text across the automation boundary: command syntax travels as wide text
// (UTF-16 units where wchar_t is 16 bits, code points where it is 32 bits),
// everything else as UTF-8. Malformed input becomes U+FFFD.
#pragma once

#include <cstdint>
#include <string>

namespace korvana::automation {

/// Appends one code point (at most U+10FFFF, not a surrogate) as UTF-8.
inline void appendUtf8(std::string& out, std::uint32_t code) {
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

inline std::string utf8Text(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto code = static_cast<std::uint32_t>(text[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
      const auto low = static_cast<std::uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
    appendUtf8(out, code);
  }
  return out;
}

inline std::wstring wideText(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = byte(i);
    std::uint32_t code = 0xFFFD;
    std::size_t length = 1;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07u, minimum = 0x10000;
    }
    if (length > 1) {
      std::size_t k = 1;
      for (; k < length && i + k < text.size() && (byte(i + k) & 0xC0) == 0x80; ++k)
        code = (code << 6) | (byte(i + k) & 0x3Fu);
      if (k < length || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = 0xFFFD;
        length = k;  // resume at the first byte that did not belong
      }
    }
    i += length;
    if constexpr (sizeof(wchar_t) == 2) {
      if (code >= 0x10000) {
        out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        continue;
      }
    }
    out += static_cast<wchar_t>(code);
  }
  return out;
}

}  // namespace korvana::automation
