// A reader for the rich text that output items carry: groups, the font and
// colour tables, character formatting (font, size, bold, italic, underline,
// colour), paragraphs and line breaks, "\'xx" escapes in code page 1252,
// "\uN" characters (surrogate pairs joined) with their "\ucN" fallbacks,
// bytes beyond ASCII as UTF-8 (as common/Utf8.h reads it), and the package's
// symbol font, whose line-drawing codes are turned into box-drawing
// characters.
// Unknown control words are ignored; destinations marked "\*" and the
// document-information groups are skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvana::spss {

struct RtfFont {
  std::int32_t number = 0;
  std::string name;
  std::string family;          // "modern", "swiss", "roman", "nil", ...
  std::int32_t charset = 0;    // 2: symbol
  std::int32_t pitch = 0;      // 1: fixed
  bool fixedPitch() const { return family == "modern" || pitch == 1; }
  /// The package's marker font, drawn with box-drawing characters.
  bool markerFont() const { return charset == 2; }
};

struct RtfRun {
  std::string text;                // UTF-8
  std::int32_t font = -1;          // font number, -1 when none was chosen
  std::int32_t halfPoints = 24;    // size
  bool bold = false;
  bool italic = false;
  bool underline = false;
  std::int32_t color = 0;          // index into the colour table, 0 = automatic
  bool glyphs = false;             // drawn from the marker font
};

struct RtfParagraph {
  std::vector<RtfRun> runs;
  std::string plainText() const;
};

struct RtfDocument {
  std::vector<RtfFont> fonts;
  std::vector<std::uint32_t> colors;  // 0xRRGGBB
  std::vector<RtfParagraph> paragraphs;

  /// Reads a document "{\rtf1 ... }"; nullopt when the text is not one (no
  /// "{\rtf" start, unbalanced groups, text after the closing brace).
  static std::optional<RtfDocument> parse(const std::string& rtf);

  const RtfFont* font(std::int32_t number) const;
  bool hasGlyphs() const;
  /// The paragraphs as lines of UTF-8 text.
  std::string plainText() const;
};

/// The box-drawing character (UTF-8) that a marker-font code draws, or null
/// for a code without a line shape.
const char* markerGlyph(unsigned char code);

/// A code page 1252 byte as UTF-8.
std::string cp1252ToUtf8(unsigned char byte);

}  // namespace korvana::spss
