// Text across the automation boundary: command syntax travels as wide text
// (UTF-16 units where wchar_t is 16 bits, code points where it is 32 bits),
// everything else as UTF-8. Malformed input is read as common/Utf8.h reads it:
// one U+FFFD for each maximal ill-formed subpart, a lone surrogate or a value
// beyond U+10FFFF.
#pragma once

#include <string>

#include "common/Utf8.h"

namespace korvana::automation {

inline std::string utf8Text(const std::wstring& text) { return utf8::fromWide(text); }

inline std::wstring wideText(const std::string& text) { return utf8::toWide(text); }

}  // namespace korvana::automation
