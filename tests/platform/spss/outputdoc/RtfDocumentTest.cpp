// Reading the rich text that title and text items carry.
#include <gtest/gtest.h>

#include "ExampleOutput.h"
#include "platform/spss/outputdoc/RtfDocument.h"

namespace korvana::spss {
namespace {

TEST(RtfDocument, ReadsFontsSizesStylesAndParagraphs) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fprq1 Courier New;}"
      "{\\f1\\fnil\\fcharset2 SPSS Marker Set;}{\\f2\\fswiss\\fcharset0 Arial;}}"
      "{\\colortbl;\\red255\\green0\\blue0;}\\pard\\f2\\fs28 Big {\\b bold}\\b0  after\\par "
      "\\f0\\fs20\\cf1 red\\i  it\\i0\\par }";
  const auto doc = RtfDocument::parse(rtf);
  ASSERT_TRUE(doc);
  ASSERT_EQ(doc->fonts.size(), 3u);
  EXPECT_EQ(doc->fonts[0].name, "Courier New");
  EXPECT_TRUE(doc->fonts[0].fixedPitch());
  EXPECT_EQ(doc->fonts[1].name, "SPSS Marker Set");
  EXPECT_TRUE(doc->fonts[1].markerFont());
  EXPECT_EQ(doc->fonts[2].family, "swiss");
  ASSERT_EQ(doc->colors.size(), 2u);
  EXPECT_EQ(doc->colors[1], 0xFF0000u);

  ASSERT_EQ(doc->paragraphs.size(), 2u);
  const auto& first = doc->paragraphs[0].runs;
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[0].text, "Big ");
  EXPECT_EQ(first[0].font, 2);
  EXPECT_EQ(first[0].halfPoints, 28);
  EXPECT_FALSE(first[0].bold);
  EXPECT_EQ(first[1].text, "bold");
  EXPECT_TRUE(first[1].bold);
  EXPECT_EQ(first[2].text, " after") << "the bold group ended; \\b0 and its delimiter take no text";
  const auto& second = doc->paragraphs[1].runs;
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].text, "red");
  EXPECT_EQ(second[0].color, 1);
  EXPECT_EQ(second[0].halfPoints, 20);
  EXPECT_EQ(second[1].text, " it");
  EXPECT_TRUE(second[1].italic);
}

TEST(RtfDocument, EscapesUnicodeAndSkippedGroups) {
  const auto doc = RtfDocument::parse(
      "{\\rtf1\\ansi\\uc1{\\*\\generator Writer;}{\\info{\\title T}}caf\\'e9 \\'80 \\u8364?x "
      "\\uc2\\u945ab\\'41 \\{\\}\\\\\\tab|\\line next\\par}");
  ASSERT_TRUE(doc);
  ASSERT_EQ(doc->paragraphs.size(), 2u);
  EXPECT_EQ(doc->paragraphs[0].plainText(), "caf\u00e9 \u20ac \u20acx \u03b1A {}\\\t|");
  EXPECT_EQ(doc->paragraphs[1].plainText(), "next");
}

// Raw bytes beyond ASCII are UTF-8, read as common/Utf8.h reads it; "\\uN"
// units that form a surrogate pair are one character.
TEST(RtfDocument, RawUtf8AndSurrogatePairs) {
  const struct {
    const char* body;
    const char* expected;
  } cases[] = {
      {"a\xC3\xA9" "b", "a\u00e9b"},
      {"a\xE2\x82" "b", "a\ufffdb"},                              // a cut sequence is one U+FFFD
      {"\xC0\xAF", "\ufffd\ufffd"},                              // overlong: two
      {"\xED\xA0\x80", "\ufffd\ufffd\ufffd"},                  // a surrogate in UTF-8: three
      {"\\u8364\xE9 x", "\u20ac x"},                             // an ill-formed fallback is skipped
      {"\\u-10179?\\u-8704?!", "\U0001F600!"},                  // a pair, each with its fallback
      {"\\uc0\\u-10179\\u-8704 ", "\U0001F600"},              // a pair without fallbacks
      {"\\u-10179?x", "\ufffdx"},                                 // a high surrogate alone
      {"\\u-10179?", "\ufffd"},                                   // ... at the end
      {"\\u-8704?", "\ufffd"},                                    // a low surrogate alone
      {"\\u-10179?\\u-10179?\\u-8704?", "\ufffd\U0001F600"},  // two highs, one low
  };
  for (const auto& c : cases) {
    const auto doc = RtfDocument::parse(std::string("{\\rtf1\\uc1 ") + c.body + "}");
    ASSERT_TRUE(doc) << c.body;
    EXPECT_EQ(doc->plainText(), std::string(c.expected) + "\n") << c.body;
  }
  // A high surrogate before a paragraph break does not pair across it.
  const auto broken = RtfDocument::parse("{\\rtf1\\uc1 \\u-10179?\\par \\u-8704?}");
  ASSERT_TRUE(broken);
  EXPECT_EQ(broken->plainText(), "\ufffd\n\ufffd\n");
}

TEST(RtfDocument, RejectsTextThatIsNotRichText) {
  EXPECT_FALSE(RtfDocument::parse(""));
  EXPECT_FALSE(RtfDocument::parse("plain"));
  EXPECT_FALSE(RtfDocument::parse("{\\rtf1 open group"));
  EXPECT_FALSE(RtfDocument::parse("{\\rtf1 closed} trailing"));
  EXPECT_TRUE(RtfDocument::parse("  {\\rtf1 fine}\r\n"));
}

TEST(RtfDocument, MarkerFontCodesBecomeBoxDrawing) {
  // The nine cell states of the dendrogram, one per row of this document.
  const std::string cells[] = {"\\'f2\\'f8", "\\'f2\\'fb", "\\'f2\\'f7", "\\'f2\\'fa", "\\'f2\\'f4",
                               "\\f0  \\f1\\'f3", "\\f0  \\f1\\'f9", "\\'f2\\'f2", "\\f0   \\f1"};
  std::string text;
  for (const std::string& c : cells) text += "\\f1" + c + "\\f0\\par ";
  const auto doc = RtfDocument::parse(example::rtfText(text));
  ASSERT_TRUE(doc);
  ASSERT_EQ(doc->paragraphs.size(), 10u);  // the nine rows and the envelope's closing paragraph
  const char* expected[] = {"─┐", "─┬", "─┘", "─┤", "─┼", " │", " ├", "──", "  "};
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(doc->paragraphs[i].plainText(), expected[i]) << "state " << i + 1;
  EXPECT_TRUE(doc->hasGlyphs());
  EXPECT_TRUE(doc->paragraphs[0].runs[0].glyphs);
  // The same bytes in a text font are ordinary characters of code page 1252.
  const auto plain = RtfDocument::parse("{\\rtf1\\ansi \\'f2\\'f8}");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->plainText(), "\u00f2\u00f8\n");
  EXPECT_FALSE(plain->hasGlyphs());
}

std::string repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(RtfDocument, DendrogramLinesReadAsATree) {
  const auto doc = RtfDocument::parse(example::fiveObjectDendrogramRtf());
  ASSERT_TRUE(doc);
  std::vector<std::string> lines;
  for (const RtfParagraph& p : doc->paragraphs) {
    std::string line = p.plainText();
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], "* * * * * * H I E R A R C H I C A L  C L U S T E R   A N A L Y S I S * * * * * *");
  EXPECT_EQ(lines[3], " Dendrogram using Ward Linkage");
  EXPECT_EQ(lines[5], "                      Rescaled Distance Cluster Combine");
  EXPECT_EQ(lines[7], "   C A S E    0         5        10        15        20        25");
  EXPECT_EQ(lines[8], "  Label  Num  +---------+---------+---------+---------+---------+");
  // Object rows: the row lines join into vertical lines one cell wide.
  const std::string lead = "           ";
  EXPECT_EQ(lines[10], lead + "1   " + "─┬" + repeat("─", 47) + "┐");
  EXPECT_EQ(lines[11], lead + "2   " + "─┘" + repeat(" ", 47) + "│");
  EXPECT_EQ(lines[12], lead + "3   " + repeat("─", 21) + "┬" + repeat("─", 27) + "┘");
  EXPECT_EQ(lines[13], lead + "4   " + repeat("─", 7) + "┬" + repeat("─", 13) + "┘");
  EXPECT_EQ(lines[14], lead + "5   " + repeat("─", 7) + "┘");
  EXPECT_EQ(lines[15], "");
}

}  // namespace
}  // namespace korvana::spss
