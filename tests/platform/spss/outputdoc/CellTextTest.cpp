// What a data cell shows for its value, decimals and number format.
#include <gtest/gtest.h>

#include "platform/spss/outputdoc/CellText.h"

namespace korvana::spss {
namespace {

PivotCell cell(const std::string& value, std::optional<std::int32_t> decimals, const std::string& format = "") {
  PivotCell c;
  c.value = value;
  c.set = true;
  c.decimals = decimals;
  c.numberFormat = format;
  return c;
}

TEST(CellText, DecimalsRewriteNumbersOnly) {
  EXPECT_EQ(cellDisplayText(cell("5.0000000E-001", 6)), "0.500000");
  EXPECT_EQ(cellDisplayText(cell("-1.2345678E+002", 3)), "-123.457");
  EXPECT_EQ(cellDisplayText(cell("2.5", 0)), "2");  // round half to even at the binary value 2.5
  EXPECT_EQ(cellDisplayText(cell("7", 2)), "7.00");
  EXPECT_EQ(cellDisplayText(cell("5,0000000E-001", 2)), "0,50") << "the separator given is kept";
  // Whole numbers shown without decimals keep every digit, so long
  // identifiers made of digits are not rounded to a double.
  EXPECT_EQ(cellDisplayText(cell("12345678901234567890123456789012", 0)), "12345678901234567890123456789012");
  EXPECT_EQ(cellDisplayText(cell("3f2a9c0d5e6b7a8190c1d2e3f4a5b6c7", 0)), "3f2a9c0d5e6b7a8190c1d2e3f4a5b6c7");
  EXPECT_EQ(cellDisplayText(cell(" ", 0)), " ");
  EXPECT_EQ(cellDisplayText(cell("NaN", 6)), "NaN");
  EXPECT_EQ(cellDisplayText(cell("inf", 6)), "inf");
  EXPECT_EQ(cellDisplayText(cell("1e", 6)), "1e");
  EXPECT_EQ(cellDisplayText(cell("Ward's method", std::nullopt)), "Ward's method");
  EXPECT_EQ(cellDisplayText(cell("5.0000000E-001", std::nullopt)), "5.0000000E-001") << "no format: as given";
}

TEST(CellText, NumberFormats) {
  EXPECT_EQ(cellDisplayText(cell("1.234500000000E+003", std::nullopt, "#.##E+##")), "1.23E+03");
  EXPECT_EQ(cellDisplayText(cell("1.000000000000E-120", std::nullopt, "#.##E+##")), "1.00E-120");
  EXPECT_EQ(cellDisplayText(cell("-9.876543210000E-003", std::nullopt, "#.##E+##")), "-9.88E-03");
  EXPECT_EQ(cellDisplayText(cell("0.000000000000E+000", std::nullopt, "#.##E+##")), "0.00E+00");
  EXPECT_EQ(cellDisplayText(cell("12.34567", std::nullopt, "#.###")), "12.346");
  EXPECT_EQ(cellDisplayText(cell("1234567.891", std::nullopt, "#,###.#")), "1,234,567.9");
  EXPECT_EQ(cellDisplayText(cell("1234.5", std::nullopt, "#.#E##")), "1.2E03");
  EXPECT_EQ(cellDisplayText(cell("0.00012", std::nullopt, "#.#E-##")), "1.2E-04");
  EXPECT_EQ(cellDisplayText(cell("text", std::nullopt, "#.##E+##")), "text");

  EXPECT_FALSE(NumberFormat::parse(""));
  EXPECT_FALSE(NumberFormat::parse(".##"));
  EXPECT_FALSE(NumberFormat::parse("#.##E"));
  EXPECT_FALSE(NumberFormat::parse("#.##x"));
  const auto format = NumberFormat::parse("#.##E+##");
  ASSERT_TRUE(format);
  EXPECT_TRUE(format->scientific);
  EXPECT_EQ(format->decimals, 2);
  EXPECT_EQ(format->exponentDigits, 2);
}

}  // namespace
}  // namespace korvana::spss
