// User-missing values declared in data files written by PSPP (.sav):
// the declarations the readers give each variable, and which values they
// make user-missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "SpssTestSupport.h"
#include "platform/spss/DataSet.h"
#include "platform/spss/DataSetLoader.h"

namespace {

using korvana::spss::DataSet;
using korvana::spss::DataSetLoader;
using korvana::spss::MissingValues;

// Three discrete values; a range and a value; a range from LO; none; and
// string values.
const char* const declarations = R"(DATA LIST LIST /a (F8.2) b (F8.2) c (F8.2) d (F8.2) s (A6).
BEGIN DATA
1 1 1 1 "x"
7 2.5 -3 99 "NA"
9 4 5 . "n/a"
-1 0 0 0 "ok"
END DATA.
MISSING VALUES a (7, 9, -1) /b (2 THRU 4, 0) /c (LO THRU -2) /s ('NA', 'n/a').
)";

DataSet readFromPspp(const spsstest::TemporaryFolder& folder, const std::string& save) {
  std::string log;
  const int status = spsstest::runPspp(folder.path(), std::string(declarations) + save + "\n", log);
  EXPECT_EQ(status, 0) << log;
  return DataSetLoader::load(folder.file("data.sav"));
}

class UserMissingValues : public ::testing::TestWithParam<const char*> {};

TEST_P(UserMissingValues, DeclarationsAndTheValuesTheyCover) {
  if (!spsstest::psppAvailable()) GTEST_SKIP() << "PSPP is not installed";
  spsstest::TemporaryFolder folder;
  const DataSet data = readFromPspp(folder, GetParam());
  ASSERT_EQ(data.variableCount(), 5u);
  ASSERT_EQ(data.caseCount(), 4u);

  MissingValues a = data.variable(0).missingValues;
  std::sort(a.values.begin(), a.values.end());
  EXPECT_EQ(a.values, (std::vector<double>{-1, 7, 9}));
  EXPECT_TRUE(a.ranges.empty());
  const MissingValues& b = data.variable(1).missingValues;
  EXPECT_EQ(b.values, std::vector<double>{0});
  EXPECT_EQ(b.ranges, (std::vector<MissingValues::Range>{{2, 4}}));
  const MissingValues& c = data.variable(2).missingValues;
  ASSERT_EQ(c.ranges.size(), 1u);
  EXPECT_LT(c.ranges[0].low, -1e300) << "LO is the lowest number";
  EXPECT_EQ(c.ranges[0].high, -2);
  EXPECT_TRUE(data.variable(3).missingValues.empty());

  // Case by case: which values are user-missing (system-missing never is).
  const std::vector<std::vector<bool>> expected = {
      {false, false, false, false, false},
      {true, true, true, false, true},
      {true, true, false, false, true},
      {true, true, false, false, false},
  };
  for (std::size_t row = 0; row < 4; ++row)
    for (std::size_t v = 0; v < 5; ++v)
      EXPECT_EQ(data.isUserMissing(row, v), expected[row][v]) << "case " << row + 1 << " variable " << v;
  EXPECT_TRUE(std::isnan(data.numeric(2, 3)));
  // User-missing values keep their value.
  EXPECT_EQ(data.numeric(1, 0), 7.0);
}

INSTANTIATE_TEST_SUITE_P(Files, UserMissingValues,
                         ::testing::Values("SAVE OUTFILE='data.sav'.", "SAVE OUTFILE='data.sav' /COMPRESSED.",
                                           "SAVE OUTFILE='data.sav' /ZCOMPRESSED."));

TEST(MissingValuesContains, BoundsAndStrings) {
  MissingValues missing;
  missing.values = {5};
  missing.ranges = {{-1, 1}};
  missing.strings = {"NA"};
  EXPECT_TRUE(missing.contains(-1.0));
  EXPECT_TRUE(missing.contains(1.0));
  EXPECT_TRUE(missing.contains(5.0));
  EXPECT_FALSE(missing.contains(1.0000001));
  EXPECT_FALSE(missing.contains(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_TRUE(missing.contains(std::string_view("NA    ")));
  EXPECT_FALSE(missing.contains(std::string_view(" NA")));
  EXPECT_FALSE(missing.contains(std::string_view("na")));
}

}  // namespace
