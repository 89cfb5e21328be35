// The UTF-8 codec: every well-formed length at its bounds, each kind of
// ill-formed input read as one U+FFFD per maximal subpart, truncation at the
// end, and the conversions to and from wide text.
#include "common/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace korvana::utf8 {
namespace {

using namespace std::string_view_literals;

constexpr char32_t R = replacementCharacter;

struct DecodeCase {
  std::string_view text;
  std::u32string expected;
  const char* what;
};

const DecodeCase decodeCases[] = {
    {""sv, U"", "empty"},
    {"\0"sv, std::u32string(1, U'\0'), "NUL"},
    {"A\x7F"sv, U"A\x7F", "one byte"},
    {"\xC2\x80"sv, U"\x80", "two bytes, lowest"},
    {"\xDF\xBF"sv, U"\x7FF", "two bytes, highest"},
    {"\xE0\xA0\x80"sv, U"\x800", "three bytes, lowest"},
    {"\xED\x9F\xBF"sv, U"\xD7FF", "three bytes, below the surrogates"},
    {"\xEE\x80\x80"sv, U"\xE000", "three bytes, above the surrogates"},
    {"\xEF\xBF\xBD"sv, U"\xFFFD", "U+FFFD itself"},
    {"\xEF\xBF\xBF"sv, U"\xFFFF", "three bytes, highest"},
    {"\xF0\x90\x80\x80"sv, U"\x10000", "four bytes, lowest"},
    {"\xF4\x8F\xBF\xBF"sv, U"\x10FFFF", "four bytes, highest"},
    {"Z\xC3\xBCrich \xE2\x82\xAC\xF0\x9F\x98\x80"sv, U"Z\xFCrich \x20AC\x1F600", "mixed"},
    // Bytes that cannot start a sequence.
    {"\x80"sv, {R}, "lone continuation byte"},
    {"\xC0\xAF"sv, {R, R}, "C0: overlong two-byte form"},
    {"\xC1\xBF"sv, {R, R}, "C1: overlong two-byte form"},
    {"\xF5\x80\x80\x80"sv, {R, R, R, R}, "F5: beyond U+10FFFF"},
    {"\xFE\xFF"sv, {R, R}, "FE and FF"},
    // A lead byte whose second byte is out of its range.
    {"\xE0\x80\xAF"sv, {R, R, R}, "overlong three-byte form"},
    {"\xF0\x8F\xBF\xBF"sv, {R, R, R, R}, "overlong four-byte form"},
    {"\xED\xA0\x80"sv, {R, R, R}, "high surrogate"},
    {"\xF4\x90\x80\x80"sv, {R, R, R, R}, "above U+10FFFF"},
    // A sequence cut short by a byte that does not continue it.
    {"\xC3\xC3\xBC"sv, {R, U'\xFC'}, "two-byte lead before a lead"},
    {"\xE2\x82x"sv, {R, U'x'}, "three bytes cut after two"},
    {"\xF0\x9F\x98 "sv, {R, U' '}, "four bytes cut after three"},
    {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d"sv, U"a\xFFFD\xFFFD\xFFFD" U"b\xFFFD" U"c\xFFFD\xFFFD" U"d",
     "the standard's example of maximal subparts"},
    // A sequence cut short by the end of the text.
    {"a\xC3"sv, {U'a', R}, "two bytes, one present"},
    {"\xE2\x82"sv, {R}, "three bytes, two present"},
    {"\xE2"sv, {R}, "three bytes, one present"},
    {"\xF0\x9F\x98"sv, {R}, "four bytes, three present"},
};

std::wstring wide(const std::u32string& codePoints) {
  std::wstring out;
  for (char32_t c : codePoints) out += static_cast<wchar_t>(c);
  return out;
}

TEST(Utf8, DecodesEachSequenceAndEachMaximalIllFormedSubpart) {
  for (const DecodeCase& c : decodeCases) {
    std::u32string decoded;
    std::string reEncoded;
    for (std::size_t at = 0; at < c.text.size();) {
      const Decoded d = decode(c.text, at);
      ASSERT_GE(d.length, 1u) << c.what;
      EXPECT_EQ(d.valid, d.codePoint != R || c.text.substr(at, d.length) == "\xEF\xBF\xBD") << c.what;
      decoded += d.codePoint;
      append(reEncoded, d.codePoint);
      at += d.length;
    }
    EXPECT_EQ(decoded, c.expected) << c.what;
    EXPECT_EQ(characterCount(c.text), c.expected.size()) << c.what;
    EXPECT_EQ(toWide(c.text), wide(c.expected)) << c.what;
    if (c.expected.find(R) == std::u32string::npos) {
      EXPECT_EQ(reEncoded, c.text) << c.what << ": well-formed text encodes back to itself";
      EXPECT_EQ(fromWide(toWide(c.text)), c.text) << c.what;
    }
  }
}

struct EncodeCase {
  char32_t codePoint;
  std::string_view bytes;
};

const EncodeCase encodeCases[] = {
    {0x00, "\0"sv},
    {0x7F, "\x7F"sv},
    {0x80, "\xC2\x80"sv},
    {0x7FF, "\xDF\xBF"sv},
    {0x800, "\xE0\xA0\x80"sv},
    {0xD7FF, "\xED\x9F\xBF"sv},
    {0xE000, "\xEE\x80\x80"sv},
    {0xFFFF, "\xEF\xBF\xBF"sv},
    {0x10000, "\xF0\x90\x80\x80"sv},
    {0x10FFFF, "\xF4\x8F\xBF\xBF"sv},
    {0xD800, "\xEF\xBF\xBD"sv},  // surrogates and values beyond U+10FFFF: U+FFFD
    {0xDFFF, "\xEF\xBF\xBD"sv},
    {0x110000, "\xEF\xBF\xBD"sv},
    {0xFFFFFFFF, "\xEF\xBF\xBD"sv},
};

TEST(Utf8, EncodesScalarValuesAndReplacesTheRest) {
  for (const EncodeCase& c : encodeCases) {
    EXPECT_EQ(encode(c.codePoint), c.bytes) << std::hex << static_cast<std::uint32_t>(c.codePoint);
    std::string appended = "x";
    append(appended, c.codePoint);
    EXPECT_EQ(appended, "x" + std::string(c.bytes)) << std::hex << static_cast<std::uint32_t>(c.codePoint);
  }
}

struct WideCase {
  std::vector<std::uint32_t> units;
  std::string_view utf8;
  const char* what;
};

const WideCase wideCases[] = {
    {{0xE4, 0x20AC}, "\xC3\xA4\xE2\x82\xAC"sv, "below U+10000"},
    {{0x1F600}, "\xF0\x9F\x98\x80"sv, "one code point beyond U+FFFF"},
    {{0xD83D, 0xDE00, '!'}, "\xF0\x9F\x98\x80!"sv, "a surrogate pair is one character"},
    {{0xD83D}, "\xEF\xBF\xBD"sv, "high surrogate at the end"},
    {{0xD83D, 'a'}, "\xEF\xBF\xBD" "a"sv, "high surrogate before a letter"},
    {{0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"sv, "two highs, then a low"},
    {{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"sv, "low before high"},
    {{0x110000}, "\xEF\xBF\xBD"sv, "beyond U+10FFFF"},
    {{0xFFFFFFFF}, "\xEF\xBF\xBD"sv, "a negative wchar_t"},
};

TEST(Utf8, WellFormednessAndLatin1) {
  EXPECT_TRUE(utf8::isWellFormed(""));
  EXPECT_TRUE(utf8::isWellFormed("caf\xC3\xA9 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(utf8::isWellFormed("caf\xE9"));
  EXPECT_FALSE(utf8::isWellFormed("\xED\xA0\x80"));
  EXPECT_EQ(utf8::toWellFormed("a\xE9" "b\xE2\x82"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_EQ(utf8::toWellFormed("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(utf8::fromLatin1("caf\xE9 \xFF\x80!"), "caf\xC3\xA9 \xC3\xBF\xC2\x80!");
}

TEST(Utf8, WideTextToUtf8) {
  for (const WideCase& c : wideCases) {
    std::wstring wide;
    for (std::uint32_t unit : c.units) wide += static_cast<wchar_t>(unit);
    EXPECT_EQ(fromWide(wide), c.utf8) << c.what;
  }
}

}  // namespace
}  // namespace korvana::utf8
