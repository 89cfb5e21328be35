#include "common/PrintableText.h"

#include <unicode/uchar.h>

#include "common/Utf8.h"

namespace korvana {

namespace {

bool isNeutralised(char32_t c, LineBreaks lineBreaks) {
  if (c == U'\n') return lineBreaks == LineBreaks::blank;
  const auto code = static_cast<UChar32>(c);
  const auto type = static_cast<UCharCategory>(u_charType(code));
  return type == U_CONTROL_CHAR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR ||
         u_hasBinaryProperty(code, UCHAR_BIDI_CONTROL);
}

}  // namespace

std::string printableText(std::string_view text, LineBreaks lineBreaks) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    // Plain ASCII, the common case, without decoding.
    if (byte >= 0x20 && byte < 0x7F) {
      out += text[at++];
      continue;
    }
    const utf8::Decoded decoded = utf8::decode(text, at);
    if (!decoded.valid) out += utf8::encode(utf8::replacementCharacter);
    else if (isNeutralised(decoded.codePoint, lineBreaks)) out += ' ';
    else out.append(text, at, decoded.length);
    at += decoded.length;
  }
  return out;
}

bool isPrintableText(std::string_view text, LineBreaks lineBreaks) {
  for (std::size_t at = 0; at < text.size();) {
    const utf8::Decoded decoded = utf8::decode(text, at);
    if (!decoded.valid || isNeutralised(decoded.codePoint, lineBreaks)) return false;
    at += decoded.length;
  }
  return true;
}

}  // namespace korvana
