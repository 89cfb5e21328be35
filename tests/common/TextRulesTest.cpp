// The rules for text from files: which names command syntax takes, how a name
// is made valid and a file name quoted, and what reaches a terminal.
#include <gtest/gtest.h>

#include <string>

#include "common/EKorvanaError.h"
#include "common/PrintableText.h"
#include "common/SyntaxName.h"

namespace korvana {
namespace {

TEST(SyntaxName, OnlyOneWordOfTheSyntaxIsAName) {
  const std::string longest(64, 'a'), tooLong(65, 'a');
  for (const std::string name : {"a", "x1", "@x", "a.b", "a_", "a$#@", "größe", "вес", "名前", longest.c_str()})
    EXPECT_TRUE(isSyntaxName(name)) << name;
  for (const std::string name : {"", "1a", "_a", "#a", "$a", "a.", "a b", "a,b", "a/b", "a'b", "a\"b", "a(b", "a=b",
                                 "to", "With", "c.\nPROXIMITIES", "a\x1b[31m", "a\xE2\x80\xAE" "b", "a\xC3",
                                 tooLong.c_str()})
    EXPECT_FALSE(isSyntaxName(name)) << name;
}

TEST(SyntaxName, ATextIsMadeAValidNameKeepingWhatItMay) {
  const struct {
    std::string text, name;
  } cases[] = {
      {"a b", "a_b"}, {"c.\nPROXIMITIES a /MATRIX=OUT('x').", "c._PROXIMITIES_a__MATRIX_OUT__x___"},
      {"1st", "@1st"}, {"_x", "@_x"}, {"total.", "total_"}, {"TO", "TO_"}, {"größe (kg)", "größe__kg_"},
      {"x\xE2\x80\xAEy", "x_y"}, {std::string(70, 'b'), std::string(63, 'b')}, {"valid", "valid"},
      {"a b" + std::string(59, 'b') + "é", "a_b" + std::string(59, 'b')},  // cut at a character's end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(syntaxNameFrom(c.text), c.name) << c.text;
    EXPECT_TRUE(isSyntaxName(syntaxNameFrom(c.text))) << c.text;
  }
}

TEST(SyntaxName, FileNamesAreQuotedWithDoubledApostrophesOrRefused) {
  EXPECT_EQ(quotedSyntaxText("/tmp/o'brien/x.\"y\"", "f"), "'/tmp/o''brien/x.\"y\"'");
  for (const std::string text : {"/tmp/a.\nPROXIMITIES", "/tmp/a\rb", "/tmp/\x1b[31m", "/tmp/\xFF"}) {
    try {
      quotedSyntaxText(text, "The matrix file name");
      ADD_FAILURE() << "quoted: " << text;
    } catch (const EKorvanaError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("The matrix file name '/tmp/", 0), 0u) << error.what();
      EXPECT_TRUE(isPrintableText(error.what())) << "the message itself is printable";
    }
  }
}

TEST(PrintableText, ControlAndBidiCharactersBecomeBlanks) {
  const struct {
    std::string text, blanked;
  } cases[] = {
      {"plain é 名", "plain é 名"},      {"red\x1b[31m!", "red [31m!"},   {"two\nlines\r", "two lines "},
      {"tab\tdel\x7f", "tab del "},        {"c1\xC2\x9B" "x", "c1 x"},        // U+009B, CSI
      {"rlo\xE2\x80\xAE" "c\xE2\x81\xA9", "rlo c "}, {"ls\xE2\x80\xA8", "ls "},  // U+202E, U+2069, U+2028
      {"bad\x9b" "x", "bad\xEF\xBF\xBDx"},                                   // ill-formed: U+FFFD
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printableText(c.text), c.blanked) << c.text;
    EXPECT_EQ(isPrintableText(c.text), c.text == c.blanked) << c.text;
  }
  EXPECT_EQ(printableText("two\nlines\r", LineBreaks::keep), "two\nlines ");
}

}  // namespace
}  // namespace korvana
