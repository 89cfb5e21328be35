#include "common/ScientificFormat.h"

#include <gtest/gtest.h>
#include <langinfo.h>
#include <locale.h>

#include <bit>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using korvana::decimalSeparator;
using korvana::formatScientific;
using korvana::parseScientific;
using korvana::detail::decimalSeparatorOf;
using korvana::detail::formatScientificWith;
using korvana::detail::parseScientificWith;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Arabic decimal separator (U+066B), two bytes in UTF-8.
const std::string kArabicSeparator = "\xD9\xAB";

// Locales whose decimal separator is a comma, tried in order.
const char* const kCommaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8",
                                     "fr_FR.utf8",  "nl_NL.UTF-8", "ru_RU.UTF-8"};

locale_t cLocale() {
  static const locale_t locale =
      newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// First locale from kCommaLocales that can be loaded with a "," separator,
// or nullptr.
const char* availableCommaLocale() {
  for (const char* name : kCommaLocales) {
    if (decimalSeparatorOf(name) == ",") return name;
  }
  return nullptr;
}

// A new locale object for uselocale: a comma locale if one is installed,
// otherwise C.UTF-8. Not "C": glibc hands out one shared object for "C", the
// same one the formatter itself switches to.
locale_t newThreadLocale() {
  const char* name = availableCommaLocale();
  return newlocale(LC_ALL_MASK, name != nullptr ? name : "C.UTF-8",
                   static_cast<locale_t>(0));
}

std::string hexAndDecimal(double v) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%a (%.17g)", v, v);
  return buf;
}

// Reference text: the C library's "%.*e" in the C locale, rewritten to upper
// case 'E', a three-digit exponent and the given separator.
std::string referenceText(double v, int n, const std::string& separator) {
  char buf[64];
  const locale_t previous = uselocale(cLocale());
  std::snprintf(buf, sizeof buf, "%.*e", n - 1, v);
  uselocale(previous);
  std::string text = buf;
  const std::size_t e = text.find('e');
  std::string mantissa = text.substr(0, e);
  const std::size_t dot = mantissa.find('.');
  if (dot != std::string::npos) mantissa.replace(dot, 1, separator);
  const std::string exponent = text.substr(e + 2);
  const std::string padding(exponent.size() < 3 ? 3 - exponent.size() : 0, '0');
  return mantissa + "E" + text[e + 1] + padding + exponent;
}

// strtod in the C locale, independent of the process's global locale.
double cStrtod(const std::string& text) {
  return strtod_l(text.c_str(), nullptr, cLocale());
}

std::uint64_t bitsOf(double v) { return std::bit_cast<std::uint64_t>(v); }

double randomFiniteDouble(std::mt19937_64& rng) {
  for (;;) {
    const double v = std::bit_cast<double>(rng());
    if (std::isfinite(v)) return v;
  }
}

// Restores the process's global locale when the test ends.
class GlobalLocaleRestorer {
 public:
  GlobalLocaleRestorer() : saved_(std::setlocale(LC_ALL, nullptr)) {}
  ~GlobalLocaleRestorer() { std::setlocale(LC_ALL, saved_.c_str()); }

 private:
  std::string saved_;
};

// ---------------------------------------------------------------------------
// Formatting

TEST(FormatScientific, WritesTheDocumentedShape) {
  EXPECT_EQ(formatScientificWith(1234.5, 13, "."), "1.234500000000E+003");
  EXPECT_EQ(formatScientificWith(0.5, 8, "."), "5.0000000E-001");
  EXPECT_EQ(formatScientificWith(0.0, 8, "."), "0.0000000E+000");
  EXPECT_EQ(formatScientificWith(-1234.5, 13, "."), "-1.234500000000E+003");
  EXPECT_EQ(formatScientificWith(-0.5, 3, "."), "-5.00E-001");
  EXPECT_EQ(formatScientificWith(7.0, 1, "."), "7E+000");
  EXPECT_EQ(formatScientificWith(123456789.0, 3, "."), "1.23E+008");
}

TEST(FormatScientific, SingleDigitHasNoSeparator) {
  EXPECT_EQ(formatScientificWith(1234.5, 1, "."), "1E+003");
  EXPECT_EQ(formatScientificWith(1234.5, 1, ","), "1E+003");
  EXPECT_EQ(formatScientificWith(-0.03, 1, kArabicSeparator), "-3E-002");
  EXPECT_EQ(formatScientificWith(0.0, 1, "."), "0E+000");
}

TEST(FormatScientific, WritesTheGivenSeparatorVerbatim) {
  EXPECT_EQ(formatScientificWith(1234.5, 13, ","), "1,234500000000E+003");
  EXPECT_EQ(formatScientificWith(-0.5, 2, ","), "-5,0E-001");
  EXPECT_EQ(formatScientificWith(1234.5, 5, kArabicSeparator),
            "1" + kArabicSeparator + "2345E+003");
}

TEST(FormatScientific, ExactDecimalTiesGoToTheEvenDigit) {
  // All of these are exactly representable, so the dropped part is exactly
  // one half of the last kept digit.
  EXPECT_EQ(formatScientificWith(0.125, 2, "."), "1.2E-001");
  EXPECT_EQ(formatScientificWith(0.375, 2, "."), "3.8E-001");
  EXPECT_EQ(formatScientificWith(2.5, 1, "."), "2E+000");
  EXPECT_EQ(formatScientificWith(3.5, 1, "."), "4E+000");
  EXPECT_EQ(formatScientificWith(-2.5, 1, "."), "-2E+000");
  EXPECT_EQ(formatScientificWith(0.0625, 2, "."), "6.2E-002");
  EXPECT_EQ(formatScientificWith(12.5, 2, "."), "1.2E+001");
  EXPECT_EQ(formatScientificWith(13.5, 2, "."), "1.4E+001");
  EXPECT_EQ(formatScientificWith(9.5, 1, "."), "1E+001");  // carries into exponent
  // Integers above 2^53 whose last two of 17 digits are "50".
  EXPECT_EQ(formatScientificWith(10000000000000050.0, 15, "."),
            "1.00000000000000E+016");
  EXPECT_EQ(formatScientificWith(10000000000000150.0, 15, "."),
            "1.00000000000002E+016");
}

TEST(FormatScientific, ValuesJustOffATieRoundToNearest) {
  EXPECT_EQ(formatScientificWith(std::nextafter(0.125, 1.0), 2, "."), "1.3E-001");
  EXPECT_EQ(formatScientificWith(std::nextafter(0.125, 0.0), 2, "."), "1.2E-001");
  EXPECT_EQ(formatScientificWith(std::nextafter(0.375, 0.0), 2, "."), "3.7E-001");
  EXPECT_EQ(formatScientificWith(std::nextafter(2.5, 3.0), 1, "."), "3E+000");
  EXPECT_EQ(formatScientificWith(std::nextafter(3.5, 3.0), 1, "."), "3E+000");
  // Decimal literals that look like ties but whose binary value is not one:
  // 0.15 is 0.1499999999999999944..., 0.45 is 0.4500000000000000111...,
  // 2.675 is 2.67499999999999982..., 1.005 is 1.00499999999999989...
  EXPECT_EQ(formatScientificWith(0.15, 1, "."), "1E-001");
  EXPECT_EQ(formatScientificWith(0.45, 1, "."), "5E-001");
  EXPECT_EQ(formatScientificWith(2.675, 3, "."), "2.67E+000");
  EXPECT_EQ(formatScientificWith(1.005, 3, "."), "1.00E+000");
}

TEST(FormatScientific, ExponentHasAtLeastThreeDigits) {
  EXPECT_EQ(formatScientificWith(1e-300, 3, "."), "1.00E-300");
  EXPECT_EQ(formatScientificWith(1.7976931348623157e308, 17, "."),
            "1.7976931348623157E+308");
  EXPECT_EQ(formatScientificWith(DBL_MAX, 1, "."), "2E+308");
  EXPECT_EQ(formatScientificWith(std::numeric_limits<double>::denorm_min(), 2, "."),
            "4.9E-324");
  EXPECT_EQ(formatScientificWith(DBL_MIN, 5, "."), "2.2251E-308");
  EXPECT_EQ(formatScientificWith(1e100, 1, "."), "1E+100");
  EXPECT_EQ(formatScientificWith(1e-5, 1, "."), "1E-005");
  EXPECT_EQ(formatScientificWith(0.012, 2, "."), "1.2E-002");
  EXPECT_EQ(formatScientificWith(1.0, 3, "."), "1.00E+000");
  EXPECT_EQ(formatScientificWith(9.96, 2, "."), "1.0E+001");
  EXPECT_EQ(formatScientificWith(0.00099999, 3, "."), "1.00E-003");
  EXPECT_EQ(formatScientificWith(99999.0, 4, "."), "1.000E+005");
}

TEST(FormatScientific, NegativeZeroKeepsItsSign) {
  EXPECT_EQ(formatScientificWith(-0.0, 8, "."), "-0.0000000E+000");
  EXPECT_EQ(formatScientificWith(-0.0, 1, "."), "-0E+000");
  EXPECT_EQ(formatScientificWith(0.0, 3, ","), "0,00E+000");
}

TEST(FormatScientific, NonFiniteValuesAreWords) {
  for (int n : {1, 8, 13}) {
    EXPECT_EQ(formatScientificWith(kNaN, n, "."), "NaN");
    EXPECT_EQ(formatScientificWith(-kNaN, n, "."), "NaN");
    EXPECT_EQ(formatScientificWith(kInf, n, ","), "Inf");
    EXPECT_EQ(formatScientificWith(-kInf, n, ","), "-Inf");
    EXPECT_EQ(formatScientific(kNaN, n), "NaN");
    EXPECT_EQ(formatScientific(kInf, n), "Inf");
    EXPECT_EQ(formatScientific(-kInf, n), "-Inf");
  }
}

TEST(FormatScientific, RejectsInvalidArguments) {
  EXPECT_THROW(formatScientificWith(1.0, 0, "."), std::invalid_argument);
  EXPECT_THROW(formatScientificWith(1.0, -3, "."), std::invalid_argument);
  EXPECT_THROW(formatScientific(1.0, 0), std::invalid_argument);
  EXPECT_THROW(formatScientificWith(1.0, 5, ""), std::invalid_argument);
}

TEST(FormatScientific, ManyDigitsGiveTheExactBinaryValue) {
  // 0.1 is 0.1000000000000000055511151231257827021181583404541015625 exactly.
  EXPECT_EQ(formatScientificWith(0.1, 30, "."),
            "1.00000000000000005551115123126E-001");
  EXPECT_EQ(formatScientificWith(0.1, 55, "."),
            "1.000000000000000055511151231257827021181583404541015625E-001");
  EXPECT_EQ(formatScientificWith(0.1, 57, "."),
            "1.00000000000000005551115123125782702118158340454101562500E-001");
}

// Compares against the C library's conversion for n = 1..17 on three kinds of
// values: arbitrary bit patterns (all binades, subnormals included), short
// binary fractions (which are often exact decimal ties), and doubles nearest
// to decimal ties such as 1.2345e-7 with n = 4.
TEST(FormatScientific, MatchesCLibraryOnRandomValues) {
  const std::uint64_t seed = 0x5EEDF00D2024ULL;
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<std::uint64_t> mantissa(1, (1ULL << 24) - 1);
  std::uniform_int_distribution<int> shift(1, 60);
  std::uniform_int_distribution<int> decimalDigits(1, 17);
  // At most 18 digits before the exponent: 10^(18 + 290) stays finite, and
  // the low end reaches into the subnormals and below.
  std::uniform_int_distribution<int> decimalExponent(-345, 290);
  std::uniform_int_distribution<int> coin(0, 1);
  const std::string separators[] = {".", ",", kArabicSeparator};

  int failures = 0;
  long comparisons = 0;
  for (int i = 0; i < 30000 && failures < 10; ++i) {
    double values[3];
    values[0] = randomFiniteDouble(rng);
    values[1] = std::ldexp(static_cast<double>(mantissa(rng)), -shift(rng));
    {
      // "ddd...d5e<x>": a decimal tie one digit beyond a random digit count.
      std::string digits;
      const int count = decimalDigits(rng);
      for (int d = 0; d < count; ++d) {
        digits += static_cast<char>('0' + (d == 0 ? 1 + rng() % 9 : rng() % 10));
      }
      values[2] = cStrtod(digits + "5e" + std::to_string(decimalExponent(rng)));
      ASSERT_TRUE(std::isfinite(values[2])) << digits;
    }
    for (double v : values) {
      if (coin(rng) != 0) v = -v;
      const std::string& sep = separators[static_cast<std::size_t>(i) % 3];
      for (int n = 1; n <= 17; ++n) {
        ++comparisons;
        const std::string got = formatScientificWith(v, n, sep);
        const std::string want = referenceText(v, n, sep);
        if (got != want) {
          ++failures;
          ADD_FAILURE() << "seed " << seed << ", iteration " << i << ": value "
                        << hexAndDecimal(v) << ", n = " << n << ": got " << got
                        << ", C library gives " << want;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0) << "seed " << seed;
  EXPECT_EQ(comparisons, 30000L * 3 * 17);
}

// ---------------------------------------------------------------------------
// Parsing

TEST(ParseScientific, ReadsFormattedTextBack) {
  EXPECT_EQ(parseScientificWith("1.234500000000E+003", "."), 1234.5);
  EXPECT_EQ(parseScientificWith("5.0000000E-001", "."), 0.5);
  EXPECT_EQ(parseScientificWith("-5,0E-001", ","), -0.5);
  EXPECT_EQ(parseScientificWith("7E+000", "."), 7.0);
  EXPECT_EQ(parseScientificWith("1" + kArabicSeparator + "2345E+003", kArabicSeparator),
            1234.5);
  EXPECT_EQ(parseScientificWith("1.7976931348623157E+308", "."), DBL_MAX);
  EXPECT_EQ(parseScientificWith("4.9E-324", "."),
            std::numeric_limits<double>::denorm_min());
}

TEST(ParseScientific, AcceptsTheGeneralShape) {
  EXPECT_EQ(parseScientificWith("12.5E+000", "."), 12.5);
  EXPECT_EQ(parseScientificWith("125E-001", "."), 12.5);
  EXPECT_EQ(parseScientificWith("1E+3", "."), 1000.0);
  EXPECT_EQ(parseScientificWith("000001.5E-0001", "."), 0.15);
  EXPECT_EQ(parseScientificWith("1.000000000000000055511151231257827E-1", "."), 0.1);
}

TEST(ParseScientific, ZerosKeepTheirSign) {
  const auto positive = parseScientificWith("0.0000000E+000", ".");
  const auto negative = parseScientificWith("-0.0000000E+000", ".");
  ASSERT_TRUE(positive.has_value());
  ASSERT_TRUE(negative.has_value());
  EXPECT_EQ(bitsOf(*positive), bitsOf(0.0));
  EXPECT_EQ(bitsOf(*negative), bitsOf(-0.0));
  EXPECT_EQ(parseScientificWith("0E+999", "."), 0.0);
}

TEST(ParseScientific, RejectsMalformedText) {
  const char* const malformed[] = {
      "",           "-",           "E+000",        "1",           "1E",
      "1E+",        "1E3",         "1e+003",       "+1E+000",     "--1E+000",
      "-+1E+000",   "1.E+000",     ".5E+000",      "1.5",         "1.5E+000 ",
      " 1.5E+000",  "1.5E+000x",   "1.5E+0.5",     "1.2.3E+000",  "1.5E++000",
      "1.5E-+000",  "1,5E+000",    "1.5 E+000",    "1.5E +000",   "0x1p3",
      "1.5E+00a",   "1_000E+000",  "1.5E+000\n",   "\t1.5E+000",  "1.5D+000",
  };
  for (const char* text : malformed) {
    EXPECT_EQ(parseScientificWith(text, "."), std::nullopt) << '"' << text << '"';
  }
  // With "," as the separator, '.' is just another stray character.
  EXPECT_EQ(parseScientificWith("1.5E+000", ","), std::nullopt);
  EXPECT_EQ(parseScientificWith("1,5E+000", ","), 1.5);
  // Only the whole multi-byte separator counts.
  EXPECT_EQ(parseScientificWith("1\xD9" "5E+000", kArabicSeparator), std::nullopt);
  EXPECT_EQ(parseScientificWith("1\xD9" "A5E+000", kArabicSeparator), std::nullopt);
  EXPECT_EQ(parseScientificWith("1\xAB" "5E+000", kArabicSeparator), std::nullopt);
  EXPECT_EQ(parseScientificWith("1\xD9\xAB\xAB" "5E+000", kArabicSeparator),
            std::nullopt);
  // An embedded NUL ends nothing: the text is still malformed.
  EXPECT_EQ(parseScientificWith(std::string_view("1.5E+000\0", 9), "."), std::nullopt);
}

TEST(ParseScientific, RejectsNonFiniteWords) {
  for (const char* text : {"NaN", "Inf", "-Inf", "nan", "inf", "-inf", "infinity",
                           "INF", "-NaN", "NAN"}) {
    EXPECT_EQ(parseScientificWith(text, "."), std::nullopt) << text;
    EXPECT_EQ(parseScientific(text), std::nullopt) << text;
  }
  EXPECT_EQ(parseScientific(formatScientific(kNaN, 13)), std::nullopt);
  EXPECT_EQ(parseScientific(formatScientific(-kInf, 13)), std::nullopt);
}

TEST(ParseScientific, RejectsValuesOutsideTheDoubleRange) {
  // DBL_MAX rounded to one or two digits lies beyond the largest double.
  EXPECT_EQ(parseScientificWith(formatScientificWith(DBL_MAX, 1, "."), "."),
            std::nullopt);
  EXPECT_EQ(parseScientificWith(formatScientificWith(DBL_MAX, 2, "."), "."),
            std::nullopt);
  EXPECT_EQ(parseScientificWith("1E+400", "."), std::nullopt);
  EXPECT_EQ(parseScientificWith("-1E+400", "."), std::nullopt);
  EXPECT_EQ(parseScientificWith("1E-400", "."), std::nullopt);
  // Half the smallest subnormal is about 2.4703e-324: below it the value
  // rounds to zero, above it to the smallest subnormal.
  EXPECT_EQ(parseScientificWith("2.47E-324", "."), std::nullopt);
  EXPECT_EQ(parseScientificWith("2.48E-324", "."),
            std::numeric_limits<double>::denorm_min());
  // With 13 digits DBL_MAX rounds down and stays in range.
  EXPECT_EQ(parseScientificWith(formatScientificWith(DBL_MAX, 13, "."), "."),
            1.797693134862e308);
}

TEST(ParseScientific, RejectsAnEmptySeparator) {
  EXPECT_THROW(parseScientificWith("1E+000", ""), std::invalid_argument);
}

// ---------------------------------------------------------------------------
// Round trips

TEST(RoundTrip, SeventeenDigitsGiveBackTheSameDouble) {
  std::vector<double> values = {
      0.0, -0.0, 1.0, -1.0, 0.1, 1.0 / 3.0, DBL_MAX, -DBL_MAX, DBL_MIN,
      std::numeric_limits<double>::denorm_min(), std::nextafter(DBL_MIN, 0.0),
      std::nextafter(1.0, 2.0), std::nextafter(1.0, 0.0), 9007199254740993.0,
      5e-324, 2.2250738585072011e-308};
  const std::uint64_t seed = 20240917;
  std::mt19937_64 rng(seed);
  for (int i = 0; i < 100000; ++i) values.push_back(randomFiniteDouble(rng));

  int failures = 0;
  for (const std::string sep : {".", ",", "\xD9\xAB"}) {
    for (double v : values) {
      const std::string text = formatScientificWith(v, 17, sep);
      const auto back = parseScientificWith(text, sep);
      if (!back.has_value() || bitsOf(*back) != bitsOf(v)) {
        if (++failures <= 10) {
          ADD_FAILURE() << "seed " << seed << ": " << hexAndDecimal(v) << " -> "
                        << text << " -> "
                        << (back ? hexAndDecimal(*back) : std::string("nullopt"));
        }
      }
    }
  }
  EXPECT_EQ(failures, 0) << "seed " << seed;
}

TEST(RoundTrip, ThirteenDigitsGiveTheNearestDoubleToTheRoundedText) {
  EXPECT_EQ(parseScientificWith(formatScientificWith(0.12345678901234567, 13, "."), "."),
            0.1234567890123);
  EXPECT_EQ(parseScientificWith(formatScientificWith(2.0 / 3.0, 13, ","), ","),
            0.6666666666667);
  EXPECT_EQ(parseScientificWith(formatScientificWith(-123456.78901234567, 13, "."), "."),
            -123456.7890123);
  EXPECT_EQ(parseScientificWith(formatScientificWith(1e-300 / 3.0, 13, "."), "."),
            3.333333333333e-301);

  // Against strtod on the C library's 13-digit text.
  const std::uint64_t seed = 0xC0FFEE13ULL;
  std::mt19937_64 rng(seed);
  int failures = 0;
  for (int i = 0; i < 100000; ++i) {
    const double v = randomFiniteDouble(rng);
    char text[64];
    const locale_t previous = uselocale(cLocale());
    std::snprintf(text, sizeof text, "%.12e", v);
    uselocale(previous);
    const double want = cStrtod(text);
    const auto got = parseScientificWith(formatScientificWith(v, 13, ","), ",");
    if (std::isinf(want)) {
      // Only values within a 13-digit rounding of DBL_MAX can overflow.
      if (got.has_value() && ++failures <= 10) {
        ADD_FAILURE() << "seed " << seed << ": " << hexAndDecimal(v)
                      << " should overflow";
      }
    } else if (!got.has_value() || bitsOf(*got) != bitsOf(want)) {
      if (++failures <= 10) {
        ADD_FAILURE() << "seed " << seed << ": " << hexAndDecimal(v) << " -> " << text
                      << ": strtod gives " << hexAndDecimal(want) << ", got "
                      << (got ? hexAndDecimal(*got) : std::string("nullopt"));
      }
    }
  }
  EXPECT_EQ(failures, 0) << "seed " << seed;
}

// ---------------------------------------------------------------------------
// Locale handling

TEST(DecimalSeparator, OfNamedLocales) {
  EXPECT_EQ(decimalSeparatorOf("C"), ".");
  EXPECT_EQ(decimalSeparatorOf("POSIX"), ".");
  EXPECT_EQ(decimalSeparatorOf("no_SUCH.locale-name"), ".");
  EXPECT_EQ(decimalSeparatorOf(nullptr), ".");
}

TEST(DecimalSeparator, OfAnInstalledCommaLocale) {
  const char* name = availableCommaLocale();
  if (name == nullptr) {
    GTEST_SKIP() << "no comma-separator locale (e.g. de_DE.UTF-8) is installed";
  }
  EXPECT_EQ(decimalSeparatorOf(name), ",");
}

TEST(DecimalSeparator, IsTheEnvironmentsAndUsedByThePublicFunctions) {
  const std::string sep = decimalSeparator();
  EXPECT_EQ(sep, decimalSeparatorOf(""));
  ASSERT_FALSE(sep.empty());
  const std::string text = formatScientific(1234.5, 13);
  EXPECT_EQ(text, "1" + sep + "234500000000E+003");
  EXPECT_EQ(parseScientific(text), 1234.5);
  EXPECT_EQ(parseScientific("-5" + sep + "0E-001"), -0.5);
}

TEST(Locale, GlobalLocaleDoesNotChangeTheOutput) {
  const std::string environmentSep = decimalSeparatorOf("");
  const char* name = availableCommaLocale();
  if (name == nullptr) {
    GTEST_SKIP() << "no comma-separator locale (e.g. de_DE.UTF-8) is installed";
  }
  if (environmentSep == ",") {
    GTEST_SKIP() << "the environment already selects ',' as the separator";
  }
  GlobalLocaleRestorer restore;
  ASSERT_NE(std::setlocale(LC_ALL, name), nullptr);
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  ASSERT_STREQ(probe, "1,5") << "setlocale had no effect on printf";

  EXPECT_EQ(decimalSeparator(), environmentSep);
  const std::string text = formatScientific(1234.5, 13);
  EXPECT_EQ(text, "1" + environmentSep + "234500000000E+003");
  EXPECT_EQ(parseScientific(text), 1234.5);
  EXPECT_EQ(parseScientific("1,5E+000"), std::nullopt);
  EXPECT_EQ(formatScientificWith(0.125, 2, "."), "1.2E-001");
}

TEST(Locale, ThreadLocaleIsIgnoredAndRestored) {
  const locale_t saved = uselocale(LC_GLOBAL_LOCALE);

  // A thread that follows the global locale keeps doing so.
  const std::string fromGlobal = formatScientificWith(2.5, 3, ".");
  const locale_t afterGlobal = uselocale(static_cast<locale_t>(0));

  // A thread with a locale object of its own gets that object back.
  const locale_t own = newThreadLocale();
  ASSERT_NE(own, static_cast<locale_t>(0));
  uselocale(own);
  const std::string fromOwn = formatScientificWith(1234.5, 13, ".");
  const locale_t afterOwn = uselocale(static_cast<locale_t>(0));

  uselocale(saved);
  freelocale(own);
  EXPECT_EQ(fromGlobal, "2.50E+000");
  EXPECT_EQ(fromOwn, "1.234500000000E+003");
  EXPECT_EQ(afterGlobal, LC_GLOBAL_LOCALE) << "the thread's locale was not restored";
  EXPECT_EQ(afterOwn, own) << "the thread's locale was not restored";
}

TEST(Locale, ConcurrentCallsAgree) {
  std::vector<double> values;
  std::mt19937_64 rng(77);
  for (int i = 0; i < 2000; ++i) values.push_back(randomFiniteDouble(rng));
  std::vector<std::string> expected;
  for (double v : values) expected.push_back(formatScientificWith(v, 13, "."));

  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      // Half the threads run under a different thread locale.
      locale_t own = static_cast<locale_t>(0);
      locale_t previous = static_cast<locale_t>(0);
      if (t % 2 == 1) {
        own = newThreadLocale();
        if (own != static_cast<locale_t>(0)) previous = uselocale(own);
      }
      for (int round = 0; round < 5; ++round) {
        for (std::size_t i = 0; i < values.size(); ++i) {
          const std::string text = formatScientificWith(values[i], 13, ".");
          const auto back = parseScientific(formatScientific(values[i], 17));
          if (text != expected[i] || !back || bitsOf(*back) != bitsOf(values[i])) {
            ++mismatches[static_cast<std::size_t>(t)];
          }
        }
      }
      if (own != static_cast<locale_t>(0)) {
        uselocale(previous);
        freelocale(own);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
  }
}

}  // namespace
