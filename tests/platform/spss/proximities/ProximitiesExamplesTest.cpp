// Worked examples of the PROXIMITIES computation, each run through the
// command text and the computation.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ProximitiesTestSupport.h"
#include "platform/spss/proximities/ProximityKernels.h"

namespace korvana::spss::test {
namespace {

// ---- interval measures: x = (1, 3, 2, 5, 4), y = (2, 1, 4, 3, 6) -----------

TEST(ProximitiesExamples, IntervalMeasuresOfOnePair) {
  const Rows rows = {{1, 3, 2, 5, 4}, {2, 1, 4, 3, 6}};
  const std::map<std::string, double> expected = {
      {"EUCLID", 4.123105626},       {"SEUCLID", 17},           {"COSINE", 0.8630779694},
      {"CORRELATION", 0.3287979746}, {"CHEBYCHEV", 2},          {"BLOCK", 9},
      {"MINKOWSKI(1)", 9},           {"MINKOWSKI(2)", 4.123105626}, {"MINKOWSKI(3)", 3.20753433},
      {"MINKOWSKI(4)", 2.839411514}, {"POWER(1,1)", 9},         {"POWER(2,1)", 17},
      {"POWER(2,2)", 4.123105626},   {"POWER(3,2)", 5.744562647}, {"POWER(4,3)", 4.020725759},
      {"POWER(1,2)", 3}};
  for (const auto& [measure, value] : expected) {
    const ProximitiesResult result = runCommand(rows, "/MEASURE=" + measure);
    ASSERT_EQ(result.itemCount(), 2u);
    EXPECT_TRUE(closeTo(result.value(1, 0), value)) << measure;
    EXPECT_TRUE(closeTo(result.value(0, 1), value)) << measure;
  }
}

// ---- standardization of v = (2, 4, 4, 6, 9) --------------------------------

TEST(ProximitiesExamples, StandardizationOfOneItemByVariableAndByCase) {
  const std::vector<double> v = {2, 4, 4, 6, 9};
  const std::map<Standardization, std::vector<double>> expected = {
      {Standardization::z, {-1.133893419, -0.377964473, -0.377964473, 0.377964473, 1.511857892}},
      {Standardization::range, {0.2857142857, 0.5714285714, 0.5714285714, 0.8571428571, 1.285714286}},
      {Standardization::rescale, {0, 0.2857142857, 0.2857142857, 0.5714285714, 1}},
      {Standardization::max, {0.2222222222, 0.4444444444, 0.4444444444, 0.6666666667, 1}},
      {Standardization::mean, {0.4, 0.8, 0.8, 1.2, 1.8}},
      {Standardization::sd, {0.755928946, 1.511857892, 1.511857892, 2.267786838, 3.401680257}},
      {Standardization::none, v}};
  for (const auto& [method, values] : expected) {
    std::vector<double> column = v;  // one variable over five cases
    standardizeValues(method, StandardizeDirection::byVariable, column.data(), 5, 1);
    expectValues(column, values, std::string("by variable ") + standardizationKeyword(method));
    std::vector<double> row = v;  // one case over five variables
    standardizeValues(method, StandardizeDirection::byCase, row.data(), 1, 5);
    expectValues(row, values, std::string("by case ") + standardizationKeyword(method));
  }
}

// ---- the data set of four cases and three variables -------------------------

const Rows kFourCases = {{1, 2, 3}, {4, 0, 3}, {2, 2, 8}, {0, 5, 1}};

TEST(ProximitiesExamples, SmallDataSetByCase) {
  const std::vector<std::pair<std::string, std::vector<double>>> settings = {
      {"/VIEW=CASE /MEASURE=SEUCLID", {13, 26, 33, 14, 45, 62}},
      {"/VIEW=CASE /STANDARDIZE=VARIABLE Z /MEASURE=EUCLID",
       {2.006711428, 1.773864555, 2.261933545, 1.70560908, 3.437537688, 2.997399328}},
      {"/VIEW=CASE /STANDARDIZE=CASE Z /MEASURE=EUCLID",
       {2.227278367, 0.7320508076, 1.700176346, 1.801130493, 2.827454989, 2.304193425}},
      {"/VIEW=CASE /MEASURE=SEUCLID RESCALE",
       {0, 0.2653061224, 0.4081632653, 0.02040816327, 0.6530612245, 1}},
      {"/VIEW=CASE /MEASURE=SEUCLID REVERSE RESCALE",
       {1, 0.7346938776, 0.5918367347, 0.9795918367, 0.3469387755, 0}},
  };
  for (const auto& [subcommands, expected] : settings)
    expectValues(lowerTriangle(runCommand(kFourCases, subcommands)), expected, subcommands);

  const ProximitiesResult reversed = runCommand(kFourCases, "/MEASURE=SEUCLID REVERSE RESCALE");
  EXPECT_FALSE(reversed.isDissimilarity);  // a reversed distance counts as a similarity
  EXPECT_TRUE(runCommand(kFourCases, "/MEASURE=SEUCLID RESCALE").isDissimilarity);
}

TEST(ProximitiesExamples, SmallDataSetCorrelationOfVariables) {
  const std::vector<std::pair<std::string, std::vector<double>>> settings = {
      {"/VIEW=VARIABLE /MEASURE=CORRELATION", {-0.9230930832, 0.3104757536, -0.3654995001}},
      {"/VIEW=VARIABLE /MEASURE=CORRELATION ABSOLUTE", {0.9230930832, 0.3104757536, 0.3654995001}},
      {"/VIEW=VARIABLE /MEASURE=CORRELATION ABSOLUTE REVERSE RESCALE", {0, 1, 0.9101825172}},
      // written in another order, applied in the same one
      {"/VIEW=VARIABLE /MEASURE=CORRELATION RESCALE REVERSE ABSOLUTE", {0, 1, 0.9101825172}},
  };
  for (const auto& [subcommands, expected] : settings) {
    const ProximitiesResult result = runCommand(kFourCases, subcommands);
    EXPECT_EQ(result.names, (std::vector<std::string>{"v1", "v2", "v3"}));
    expectValues(lowerTriangle(result), expected, subcommands);
  }
  EXPECT_FALSE(runCommand(kFourCases, "/VIEW=VARIABLE /MEASURE=CORRELATION ABSOLUTE").isDissimilarity);
  EXPECT_TRUE(runCommand(kFourCases, "/VIEW=VARIABLE /MEASURE=CORRELATION ABSOLUTE REVERSE RESCALE").isDissimilarity);
}

// ---- counts: x = (10, 20, 30), y = (20, 20, 10) -------------------------------

TEST(ProximitiesExamples, CountsWithTheSquareRootReading) {
  const Rows rows = {{10, 20, 30}, {20, 20, 10}};
  EXPECT_TRUE(closeTo(runCommand(rows, "/MEASURE=CHISQ").value(1, 0), 3.539460097));
  EXPECT_TRUE(closeTo(runCommand(rows, "/MEASURE=PH2").value(1, 0), 0.3374742789));
  EXPECT_TRUE(runCommand(rows, "/MEASURE=CHISQ").isDissimilarity);
  // The same counts as variables: the items are then the columns.
  const Rows columns = {{10, 20}, {20, 20}, {30, 10}};
  EXPECT_TRUE(closeTo(runCommand(columns, "/VIEW=VARIABLE /MEASURE=PH2").value(1, 0), 0.3374742789));
}

// ---- binary measures ---------------------------------------------------------

/// Every binary measure for two items given as cases.
std::map<std::string, double> binaryValues(const Rows& rows, const std::string& parameters = "") {
  std::map<std::string, double> values;
  for (const MeasureInfo& info : allMeasures()) {
    if (info.family != MeasureFamily::binary) continue;
    values[info.keyword] = runCommand(rows, std::string("/MEASURE=") + info.keyword + parameters).value(1, 0);
  }
  return values;
}

void expectBinary(const std::map<std::string, double>& actual, const std::map<std::string, double>& expected,
                  const std::string& what) {
  EXPECT_EQ(actual.size(), 27u);
  for (const auto& [keyword, value] : expected) {
    ASSERT_TRUE(actual.count(keyword)) << keyword;
    EXPECT_TRUE(closeTo(actual.at(keyword), value)) << what << ": " << keyword;
  }
}

TEST(ProximitiesExamples, BinaryTable3124) {
  const Rows rows = {{1, 1, 1, 1, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 1, 1, 0, 0, 0, 0}};
  const std::map<std::string, double> expected = {
      {"RR", 0.3},         {"SM", 0.7},           {"JACCARD", 0.5},         {"DICE", 0.6666666667},
      {"RT", 0.5384615385}, {"SS1", 0.8235294118}, {"SS2", 0.3333333333},    {"K1", 1},
      {"SS3", 2.333333333}, {"K2", 0.675},         {"SS4", 0.7041666667},    {"OCHIAI", 0.6708203932},
      {"SS5", 0.4898979486}, {"PHI", 0.4082482905}, {"BEUCLID", 1.732050808}, {"BSEUCLID", 3},
      {"SIZE", 0.01},      {"PATTERN", 0.02},     {"VARIANCE", 0.075},      {"BSHAPE", 0.29},
      {"BLWMN", 0.3333333333}, {"DISPER", 0.1},   {"HAMANN", 0.4},          {"LAMBDA", 0.3333333333},
      {"D", 0.15},         {"Y", 0.4202041029},   {"Q", 0.7142857143}};
  EXPECT_EQ(expected.size(), 27u);
  expectBinary(binaryValues(rows), expected, "a=3 b=1 c=2 d=4");
  expectBinary(binaryValues(rows, "(1,0)"), expected, "a=3 b=1 c=2 d=4 with (1,0)");
}

TEST(ProximitiesExamples, DocumentedBinaryExample) {
  // Variables V … Z: case 1 = 0,1,1,0,1 and case 2 = 0,1,1,0,0 give a=2 b=1 c=0 d=2.
  const Rows rows = {{0, 1, 1, 0, 1}, {0, 1, 1, 0, 0}};
  const std::map<std::string, double> expected = {
      {"RR", 0.4},          {"SM", 0.8},           {"JACCARD", 0.6666666667}, {"DICE", 0.8},
      {"RT", 0.6666666667}, {"SS1", 0.8888888889}, {"SS2", 0.5},              {"K1", 2},
      {"SS3", 4},           {"K2", 0.8333333333},  {"SS4", 0.8333333333},     {"OCHIAI", 0.8164965809},
      {"SS5", 0.6666666667}, {"PHI", 0.6666666667}, {"BEUCLID", 1},           {"BSEUCLID", 1},
      {"SIZE", 0.04},       {"PATTERN", 0},        {"VARIANCE", 0.05},        {"BSHAPE", 0.16},
      {"BLWMN", 0.2},       {"DISPER", 0.16},      {"HAMANN", 0.6},           {"LAMBDA", 0.5},
      {"D", 0.2},           {"Y", 1},              {"Q", 1}};
  EXPECT_EQ(expected.size(), 27u);
  expectBinary(binaryValues(rows), expected, "a=2 b=1 c=0 d=2");
}

TEST(ProximitiesExamples, BinaryWithoutNonmatches) {
  const Rows rows = {{1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 0, 0, 0, 0, 0, 0}};
  std::map<std::string, double> expected = {{"K1", 9999.999}, {"SS3", 9999.999}, {"RR", 0.3},
                                            {"D", 0.3},       {"DISPER", 0.21}};
  for (const char* one : {"SM", "JACCARD", "DICE", "RT", "SS1", "SS2", "K2", "SS4", "HAMANN", "LAMBDA", "Y", "Q",
                          "OCHIAI", "SS5", "PHI"})
    expected[one] = 1;
  for (const char* zero : {"BEUCLID", "BSEUCLID", "SIZE", "PATTERN", "VARIANCE", "BSHAPE", "BLWMN"})
    expected[zero] = 0;
  EXPECT_EQ(expected.size(), 27u);
  expectBinary(binaryValues(rows), expected, "a=3 b=0 c=0 d=7");
}

TEST(ProximitiesExamples, OtherValuesAreSkippedOrCountedAsAbsent) {
  const Rows rows = {{1, 1, 9, 1, 0}, {1, 0, 1, 1, 9}};
  const auto both = binaryValues(rows, "(1,0)");  // positions 3 and 5 skipped: (2,1,0,0)
  expectBinary(both, {{"SM", 0.6666666667}, {"JACCARD", 0.6666666667}, {"RR", 0.6666666667}, {"BSEUCLID", 1},
                      {"VARIANCE", 0.08333333333}}, "(1,0)");
  expectBinary(binaryValues(rows), {{"SM", 0.6666666667}, {"BSEUCLID", 1}}, "no parameters");  // as (1,0)
  const auto presentOnly = binaryValues(rows, "(1)");  // 9 counts as absent: (2,1,1,1)
  expectBinary(presentOnly, {{"SM", 0.6}, {"JACCARD", 0.5}, {"RR", 0.4}, {"BSEUCLID", 2}, {"VARIANCE", 0.1}}, "(1)");
}

TEST(ProximitiesExamples, BinaryVariables) {
  // u, v, w over six cases, as columns.
  const std::vector<std::vector<double>> items = {{1, 0, 1, 1, 0, 1}, {1, 1, 0, 1, 0, 0}, {0, 0, 1, 1, 1, 1}};
  Rows rows(6, std::vector<double>(3));
  for (std::size_t c = 0; c < 6; ++c)
    for (std::size_t v = 0; v < 3; ++v) rows[c][v] = items[v][c];
  expectValues(lowerTriangle(runCommand(rows, "/VIEW=VARIABLE /MEASURE=JACCARD(1,0)")), {0.4, 0.6, 0.1666666667},
               "JACCARD");
  expectValues(lowerTriangle(runCommand(rows, "/VIEW=VARIABLE /MEASURE=SM(1,0)")), {0.5, 0.6666666667, 0.1666666667},
               "SM");
  expectValues(lowerTriangle(runCommand(rows, "/VIEW=VARIABLE /MEASURE=BSEUCLID(1,0)")), {3, 2, 5}, "BSEUCLID");
}

TEST(ProximitiesExamples, MatrixOfFourCasesCarriesNamesLabelsAndTheSeuclidLabel) {
  const ProximitiesResult result = runCommand(kFourCases, "/VIEW=CASE /MEASURE=SEUCLID");
  EXPECT_EQ(result.names, (std::vector<std::string>{"VAR1", "VAR2", "VAR3", "VAR4"}));
  EXPECT_EQ(result.labels, (std::vector<std::string>{"CASE 1", "CASE 2", "CASE 3", "CASE 4"}));
  EXPECT_EQ(result.caseNumbers, (std::vector<std::int64_t>{1, 2, 3, 4}));
  // The full symmetric matrix, zeros on the diagonal.
  const std::vector<std::vector<double>> square = {{0, 13, 26, 14}, {13, 0, 33, 45}, {26, 33, 0, 62}, {14, 45, 62, 0}};
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j) EXPECT_EQ(result.value(i, j), square[i][j]) << i << "," << j;
  EXPECT_EQ(result.proxLabel, "Proximities: SEUCLID, DISSIMILARITY");
}

TEST(ProximitiesExamples, KulczynskiAndSokalSneath3AreCappedAt9999_999) {
  // a = 10000, b = 1, c = 0: a/(b+c) = 10000 and (a+d)/(b+c) = 10000 exceed the cap.
  std::vector<double> x(10001, 1.0), y(10001, 1.0);
  y[0] = 0.0;
  const Rows rows = {x, y};
  EXPECT_EQ(runCommand(rows, "/MEASURE=K1").value(1, 0), 9999.999);
  EXPECT_EQ(runCommand(rows, "/MEASURE=SS3").value(1, 0), 9999.999);
  // 0/0: nothing present, nothing mismatched.
  const Rows empty = {{0, 0}, {0, 0}};
  EXPECT_EQ(runCommand(empty, "/MEASURE=K1").value(1, 0), 9999.999);
  EXPECT_EQ(kernels::binaryValue(ProximityMeasure::k1, 0, 0, 0, 0), 9999.999);
  EXPECT_TRUE(std::isnan(kernels::binaryValue(ProximityMeasure::euclid, 1, 1, 1, 1)));  // not binary
}

}  // namespace
}  // namespace korvana::spss::test
