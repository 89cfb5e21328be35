// The computation against straightforward implementations written here, and
// the rules chosen where the package's documentation is silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ProximitiesTestSupport.h"
#include "platform/spss/proximities/ProximitiesMatrix.h"
#include "platform/spss/proximities/ProximityKernels.h"

namespace korvana::spss::test {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

Rows randomRows(std::size_t cases, std::size_t variables, unsigned seed, int distinctValues = 0) {
  std::mt19937 generator(seed);
  std::normal_distribution<double> normal(1.0, 2.0);
  std::uniform_int_distribution<int> small(0, std::max(distinctValues - 1, 0));
  Rows rows(cases, std::vector<double>(variables));
  for (auto& row : rows)
    for (double& v : row) v = distinctValues > 0 ? small(generator) : normal(generator);
  return rows;
}

/// The items of a request's view: rows of cases or columns of variables.
std::vector<std::vector<double>> itemsOf(const Rows& rows, bool byCase) {
  if (byCase) return rows;
  std::vector<std::vector<double>> columns(rows[0].size(), std::vector<double>(rows.size()));
  for (std::size_t c = 0; c < rows.size(); ++c)
    for (std::size_t v = 0; v < rows[c].size(); ++v) columns[v][c] = rows[c][v];
  return columns;
}

// ---- interval: the tiled loops against plain pair loops ---------------------

double plainInterval(const std::string& measure, const std::vector<double>& x, const std::vector<double>& y) {
  double sum = 0.0;
  if (measure == "SEUCLID" || measure == "EUCLID") {
    for (std::size_t d = 0; d < x.size(); ++d) sum += (y[d] - x[d]) * (y[d] - x[d]);
    return measure == "EUCLID" ? std::sqrt(sum) : sum;
  }
  if (measure == "BLOCK") {
    for (std::size_t d = 0; d < x.size(); ++d) sum += std::fabs(y[d] - x[d]);
    return sum;
  }
  if (measure == "CHEBYCHEV") {
    for (std::size_t d = 0; d < x.size(); ++d) sum = std::max(sum, std::fabs(y[d] - x[d]));
    return sum;
  }
  if (measure == "MINKOWSKI(3)") {
    for (std::size_t d = 0; d < x.size(); ++d) sum += std::pow(std::fabs(y[d] - x[d]), 3);
    return std::cbrt(sum);
  }
  if (measure == "POWER(4,3)") {
    for (std::size_t d = 0; d < x.size(); ++d) sum += std::pow(y[d] - x[d], 4);
    return std::cbrt(sum);
  }
  // CORRELATION: Pearson's r with means subtracted
  double mx = 0, my = 0;
  for (std::size_t d = 0; d < x.size(); ++d) {
    mx += x[d];
    my += y[d];
  }
  mx /= static_cast<double>(x.size());
  my /= static_cast<double>(y.size());
  double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t d = 0; d < x.size(); ++d) {
    sxy += (x[d] - mx) * (y[d] - my);
    sxx += (x[d] - mx) * (x[d] - mx);
    syy += (y[d] - my) * (y[d] - my);
  }
  return sxy / std::sqrt(sxx * syy);
}

TEST(ProximitiesInterval, TiledLoopsEqualPlainPairLoopsForEverySize) {
  // Sizes around the 4 × 8 tiles: partial row blocks and partial column tiles.
  for (const std::size_t n : {1u, 2u, 3u, 5u, 8u, 9u, 12u, 13u, 17u, 31u, 40u}) {
    for (const bool byCase : {true, false}) {
      const Rows rows = byCase ? randomRows(n, 7, 11 + static_cast<unsigned>(n)) : randomRows(6, n, 5 + static_cast<unsigned>(n));
      const auto items = itemsOf(rows, byCase);
      for (const std::string measure : {"SEUCLID", "EUCLID", "BLOCK", "CHEBYCHEV", "MINKOWSKI(3)", "POWER(4,3)",
                                        "CORRELATION"}) {
        const ProximitiesResult result =
            runCommand(rows, std::string(byCase ? "/VIEW=CASE" : "/VIEW=VARIABLE") + " /MEASURE=" + measure);
        ASSERT_EQ(result.itemCount(), n);
        for (std::size_t i = 0; i < n; ++i)
          for (std::size_t j = 0; j < i; ++j) {
            const double expected = plainInterval(measure, items[i], items[j]);
            if (measure == "SEUCLID" || measure == "BLOCK" || measure == "CHEBYCHEV" || measure == "EUCLID")
              EXPECT_EQ(result.value(i, j), expected) << measure << " n=" << n << " (" << i << "," << j << ")";
            else
              EXPECT_TRUE(closeTo(result.value(i, j), expected, 1e-12)) << measure << " n=" << n;
          }
      }
    }
  }
}

// The rows computed a block at a time (as the matrix file is written) are the
// whole matrix to the bit: the cells above the diagonal are those below it,
// transformations included (RESCALE's range found without the matrix).
TEST(ProximitiesMatrixRows, BlocksOfRowsEqualTheWholeMatrix) {
  const Rows data = randomRows(23, 5, 91);
  const Rows counts = randomRows(23, 5, 92, 6);
  const Rows binary = randomRows(23, 70, 93, 2);
  const std::vector<std::pair<const Rows*, std::string>> commands = {
      {&data, "/MEASURE=SEUCLID"},
      {&data, "/MEASURE=CORRELATION /STANDARDIZE=VARIABLE Z"},
      {&data, "/VIEW=VARIABLE /MEASURE=COSINE ABSOLUTE"},
      {&data, "/MEASURE=MINKOWSKI(3) REVERSE RESCALE"},
      {&data, "/MEASURE=EUCLID RESCALE"},
      {&counts, "/MEASURE=CHISQ REVERSE"},
      {&binary, "/MEASURE=JACCARD RESCALE"},
      {&binary, "/VIEW=VARIABLE /MEASURE=K1"}};
  for (const auto& [rows, subcommands] : commands) {
    const std::size_t k = rows->at(0).size();
    std::string command = "PROXIMITIES ";
    for (std::size_t v = 0; v < k; ++v) command += (v ? ",v" : "v") + std::to_string(v + 1);
    const ProximitiesRequest request = ProximitiesParser::parse(command + " " + subcommands + ".", numberedDictionary(k));
    const ProximitiesResult whole = computeProximities(request, dataOf(*rows));
    const ProximitiesMatrix matrix(request, dataOf(*rows));
    const std::size_t n = matrix.itemCount();
    ASSERT_EQ(n, whole.itemCount()) << subcommands;
    for (const std::size_t rowsAtOnce : {std::size_t{1}, std::size_t{6}, n}) {
      std::vector<double> block(rowsAtOnce * n);
      for (std::size_t first = 0; first < n; first += rowsAtOnce) {
        const std::size_t end = std::min(n, first + rowsAtOnce);
        matrix.rows(first, end, block.data());
        for (std::size_t i = first; i < end; ++i)
          for (std::size_t j = 0; j < n; ++j) {
            const double expected = whole.value(i, j);
            const double got = block[(i - first) * n + j];
            EXPECT_TRUE(std::memcmp(&expected, &got, sizeof got) == 0)
                << subcommands << " cell (" << i << "," << j << "): " << got << " is not " << expected;
          }
      }
    }
    EXPECT_GE(matrix.rowsPerBlock(1), 1u);
    EXPECT_EQ(matrix.rowsPerBlock(2 * sizeof(double) * n * 7), 7u);
  }
}

TEST(ProximitiesKernels, BaselineAndProcessorSpecificLoopsAgreeExactly) {
  const Rows data = randomRows(45, 9, 77);
  const Rows binary = randomRows(37, 70, 78, 2);  // 70 positions: two words per item
  const std::vector<std::pair<const Rows*, std::string>> commands = {
      {&data, "/MEASURE=SEUCLID"},      {&data, "/MEASURE=CHEBYCHEV"}, {&data, "/MEASURE=MINKOWSKI(3)"},
      {&data, "/MEASURE=CORRELATION"},  {&data, "/VIEW=VARIABLE /MEASURE=COSINE"},
      {&binary, "/MEASURE=JACCARD"},    {&binary, "/VIEW=VARIABLE /MEASURE=SS5"}};
  for (const auto& [rows, subcommands] : commands) {
    const std::vector<double> fast = lowerTriangle(runCommand(*rows, subcommands));
    kernels::useBaselineCodeOnly(true);
    const std::vector<double> baseline = lowerTriangle(runCommand(*rows, subcommands));
    kernels::useBaselineCodeOnly(false);
    ASSERT_EQ(fast.size(), baseline.size());
    for (std::size_t i = 0; i < fast.size(); ++i)
      ASSERT_TRUE(fast[i] == baseline[i] || (std::isnan(fast[i]) && std::isnan(baseline[i])))
          << subcommands << " cell " << i << ": " << fast[i] << " vs " << baseline[i];
  }
}

TEST(ProximitiesInterval, ZeroDenominatorsGiveNaN) {
  // Item 2 is constant (no correlation), item 3 all zero (no cosine).
  const Rows rows = {{1, 2, 4}, {0.1, 0.1, 0.1}, {0, 0, 0}, {3, 1, 2}};
  const ProximitiesResult correlation = runCommand(rows, "/MEASURE=CORRELATION");
  EXPECT_TRUE(std::isnan(correlation.value(1, 0)));
  EXPECT_TRUE(std::isnan(correlation.value(3, 1)));
  EXPECT_TRUE(std::isnan(correlation.value(1, 1)));
  EXPECT_TRUE(std::isnan(correlation.value(2, 2)));
  EXPECT_TRUE(closeTo(correlation.value(3, 0), plainInterval("CORRELATION", rows[3], rows[0])));
  EXPECT_EQ(correlation.value(3, 3), 1.0);  // a usable item's diagonal
  const ProximitiesResult cosine = runCommand(rows, "/MEASURE=COSINE");
  EXPECT_TRUE(std::isnan(cosine.value(2, 0)));
  EXPECT_TRUE(std::isnan(cosine.value(3, 2)));
  EXPECT_TRUE(std::isnan(cosine.value(2, 2)));
  EXPECT_EQ(cosine.value(1, 1), 1.0);  // constant but not zero: fine for the cosine
  EXPECT_TRUE(closeTo(cosine.value(1, 0), 7 / std::sqrt(3.0 * 21.0)));
  // RESCALE passes NaN through and ignores it for min and max.
  const ProximitiesResult rescaled = runCommand(rows, "/MEASURE=CORRELATION RESCALE");
  EXPECT_TRUE(std::isnan(rescaled.value(1, 0)));
  EXPECT_EQ(rescaled.value(3, 0), 0.5);  // the only defined off-diagonal cell
}

// ---- counts ------------------------------------------------------------------

/// χ² from the expected values of the 2 × k table, columns of total 0 left out.
double plainChiSquare(const std::vector<double>& x, const std::vector<double>& y) {
  double X = 0, Y = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    X += x[i];
    Y += y[i];
  }
  const double N = X + Y;
  double chi = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double column = x[i] + y[i];
    if (column == 0) continue;
    const double ex = X * column / N, ey = Y * column / N;
    chi += (x[i] - ex) * (x[i] - ex) / ex + (y[i] - ey) * (y[i] - ey) / ey;
  }
  return chi;
}

TEST(ProximitiesCounts, RandomCountsAgainstExpectedValues) {
  Rows rows = randomRows(12, 9, 21, 6);  // counts 0 … 5, some columns of a pair 0
  for (const bool byCase : {true, false}) {
    const auto items = itemsOf(rows, byCase);
    const std::string view = byCase ? "/VIEW=CASE" : "/VIEW=VARIABLE";
    const ProximitiesResult chisq = runCommand(rows, view + " /MEASURE=CHISQ");
    const ProximitiesResult ph2 = runCommand(rows, view + " /MEASURE=PH2");
    for (std::size_t i = 0; i < items.size(); ++i)
      for (std::size_t j = 0; j < i; ++j) {
        double N = 0;
        for (std::size_t d = 0; d < items[i].size(); ++d) N += items[i][d] + items[j][d];
        const double chi = plainChiSquare(items[i], items[j]);
        EXPECT_TRUE(closeTo(chisq.value(i, j), std::sqrt(chi), 1e-12)) << i << "," << j;
        EXPECT_TRUE(closeTo(ph2.value(i, j), std::sqrt(chi / N), 1e-12)) << i << "," << j;
      }
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(chisq.value(i, i), 0.0);
  }
}

TEST(ProximitiesCounts, EmptyColumnsAddNothingAndAnEmptyItemGivesNaN) {
  const ProximitiesResult withEmptyColumn = runCommand({{0, 1, 2, 0}, {0, 3, 1, 0}, {0, 0, 0, 0}}, "/MEASURE=CHISQ");
  const ProximitiesResult without = runCommand({{1, 2}, {3, 1}}, "/MEASURE=CHISQ");
  EXPECT_EQ(withEmptyColumn.value(1, 0), without.value(1, 0));
  EXPECT_TRUE(std::isnan(withEmptyColumn.value(2, 0)));  // item total 0
  EXPECT_TRUE(std::isnan(withEmptyColumn.value(2, 2)));
  EXPECT_TRUE(std::isnan(runCommand({{1, -1}, {2, 3}}, "/MEASURE=PH2").value(1, 0)));  // total 0 after signs
}

// ---- binary: the bit-set tables against tallies of the values ---------------

struct Table {
  double a = 0, b = 0, c = 0, d = 0;
};

Table tally(const std::vector<double>& x, const std::vector<double>& y, double present, double absent,
            bool absentIsRest) {
  Table t;
  const auto kind = [&](double v) { return v == present ? 1 : (absentIsRest || v == absent) ? 0 : -1; };
  for (std::size_t i = 0; i < x.size(); ++i) {
    const int kx = kind(x[i]), ky = kind(y[i]);
    if (kx < 0 || ky < 0) continue;
    (kx ? (ky ? t.a : t.b) : (ky ? t.c : t.d)) += 1;
  }
  return t;
}

/// The measures, each written out from its definition.
double plainBinary(const std::string& m, const Table& t) {
  const double a = t.a, b = t.b, c = t.c, d = t.d, n = a + b + c + d;
  const auto q = [](double num, double den) { return den == 0 ? kNaN : num / den; };
  if (m == "RR") return q(a, n);
  if (m == "SM") return q(a + d, n);
  if (m == "JACCARD") return q(a, a + b + c);
  if (m == "DICE") return q(2 * a, 2 * a + b + c);
  if (m == "RT") return q(a + d, a + d + 2 * (b + c));
  if (m == "SS1") return q(2 * (a + d), 2 * (a + d) + b + c);
  if (m == "SS2") return q(a, a + 2 * (b + c));
  if (m == "K1") return b + c == 0 ? 9999.999 : std::min(a / (b + c), 9999.999);
  if (m == "SS3") return b + c == 0 ? 9999.999 : std::min((a + d) / (b + c), 9999.999);
  if (m == "K2") return (q(a, a + b) + q(a, a + c)) / 2;
  if (m == "SS4") return (q(a, a + b) + q(a, a + c) + q(d, b + d) + q(d, c + d)) / 4;
  if (m == "HAMANN") return q(a + d - b - c, n);
  const double t1 = std::max(a, b) + std::max(c, d) + std::max(a, c) + std::max(b, d);
  const double t2 = std::max(a + c, b + d) + std::max(a + b, c + d);
  if (m == "LAMBDA") return q(t1 - t2, 2 * n - t2);
  if (m == "D") return q(t1 - t2, 2 * n);
  if (m == "Y") return q(std::sqrt(a * d) - std::sqrt(b * c), std::sqrt(a * d) + std::sqrt(b * c));
  if (m == "Q") return q(a * d - b * c, a * d + b * c);
  if (m == "OCHIAI") return std::sqrt(q(a, a + b) * q(a, a + c));
  const double margins = std::sqrt((a + b) * (a + c) * (b + d) * (c + d));
  if (m == "SS5") return q(a * d, margins);
  if (m == "PHI") return q(a * d - b * c, margins);
  if (m == "DISPER") return q(a * d - b * c, n * n);
  if (m == "BEUCLID") return std::sqrt(b + c);
  if (m == "BSEUCLID") return b + c;
  if (m == "SIZE") return q((b - c) * (b - c), n * n);
  if (m == "PATTERN") return q(b * c, n * n);
  if (m == "VARIANCE") return q(b + c, 4 * n);
  if (m == "BSHAPE") return q(n * (b + c) - (b - c) * (b - c), n * n);
  if (m == "BLWMN") return q(b + c, 2 * a + b + c);
  ADD_FAILURE() << "no formula for " << m;
  return 0;
}

TEST(ProximitiesBinary, EveryMeasureAgainstTalliedTables) {
  struct Setting {
    std::string parameters;
    double present, absent;
    bool absentIsRest;
  };
  const std::vector<Setting> settings = {{"(1,0)", 1, 0, false}, {"(2)", 2, 0, true}, {"(0,2)", 0, 2, false}};
  // Values 0, 1, 2 so that some positions are skipped; 150 cases make the
  // variables' bit sets span three words.
  for (const bool byCase : {true, false}) {
    const Rows rows = byCase ? randomRows(14, 11, 31, 3) : randomRows(150, 6, 37, 3);
    const auto items = itemsOf(rows, byCase);
    for (const Setting& s : settings)
      for (const MeasureInfo& info : allMeasures()) {
        if (info.family != MeasureFamily::binary) continue;
        const std::string subcommands =
            std::string(byCase ? "/VIEW=CASE" : "/VIEW=VARIABLE") + " /MEASURE=" + info.keyword + s.parameters;
        const ProximitiesResult result = runCommand(rows, subcommands);
        for (std::size_t i = 0; i < items.size(); ++i)
          for (std::size_t j = 0; j <= i; ++j) {
            const Table t = tally(items[i], items[j], s.present, s.absent, s.absentIsRest);
            EXPECT_TRUE(closeTo(result.value(i, j), plainBinary(info.keyword, t), 1e-13))
                << subcommands << " (" << i << "," << j << ")";
          }
      }
  }
}

TEST(ProximitiesBinary, ZeroDenominatorsGiveNaN) {
  // Table (0,0,0,4): nothing present; (0,0,0,0): every position skipped.
  const Rows absentOnly = {{0, 0, 0, 0}, {0, 0, 0, 0}};
  const Rows skipped = {{5, 5}, {5, 5}};
  for (const char* m : {"JACCARD", "DICE", "SS2", "BLWMN", "K2", "SS4", "OCHIAI", "SS5", "PHI", "Y", "Q", "LAMBDA"})
    EXPECT_TRUE(std::isnan(runCommand(absentOnly, std::string("/MEASURE=") + m).value(1, 0))) << m;
  for (const char* m : {"RR", "SM", "HAMANN", "SIZE", "PATTERN", "VARIANCE", "DISPER", "BSHAPE", "D", "RT", "SS1"})
    EXPECT_TRUE(std::isnan(runCommand(skipped, std::string("/MEASURE=") + m).value(1, 0))) << m;
  EXPECT_EQ(runCommand(skipped, "/MEASURE=BSEUCLID").value(1, 0), 0.0);  // no denominator
}

// ---- standardization -----------------------------------------------------------

TEST(ProximitiesStandardization, DegenerateSetsFollowTheChosenRules) {
  const auto apply = [](Standardization method, std::vector<double> v) {
    standardizeValues(method, StandardizeDirection::byCase, v.data(), 1, v.size());
    return v;
  };
  using S = Standardization;
  const std::vector<double> constant = {3, 3, 3};
  EXPECT_EQ(apply(S::z, constant), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(apply(S::range, constant), constant);
  EXPECT_EQ(apply(S::rescale, constant), (std::vector<double>{0.5, 0.5, 0.5}));
  EXPECT_EQ(apply(S::sd, constant), constant);
  EXPECT_EQ(apply(S::max, constant), (std::vector<double>{1, 1, 1}));
  EXPECT_EQ(apply(S::max, {0, 0}), (std::vector<double>{0, 0}));
  EXPECT_EQ(apply(S::mean, {-1, 1}), (std::vector<double>{-1, 1}));  // mean 0
  EXPECT_EQ(apply(S::z, {7}), (std::vector<double>{0}));              // one value: no sd
  EXPECT_EQ(apply(S::sd, {7}), (std::vector<double>{7}));
  // MAX divides by the largest magnitude, so that it becomes 1 in size.
  EXPECT_EQ(apply(S::max, {-4, 1, 2}), (std::vector<double>{-1, 0.25, 0.5}));
  // Equal values with a mean that does not come out exact are still constant.
  EXPECT_EQ(apply(S::z, {0.1, 0.1, 0.1}), (std::vector<double>{0, 0, 0}));
}

TEST(ProximitiesStandardization, BinaryMeasuresUseTheRawValues) {
  // The command cannot combine them; a request built directly shows that the
  // computation leaves binary data alone even then.
  ProximitiesRequest request = ProximitiesParser::parse("PROXIMITIES v1,v2 /MEASURE=JACCARD", numberedDictionary(2));
  request.standardization = Standardization::z;
  const ProximitiesResult result = computeProximities(request, dataOf({{1, 0}, {1, 1}}));
  EXPECT_EQ(result.value(1, 0), 0.5);
}

// ---- transformations -------------------------------------------------------------

TEST(ProximitiesTransformations, RescaleOfEqualValuesAndTheDiagonal) {
  // Two items: one off-diagonal value, so max = min.
  const ProximitiesResult two = runCommand({{0, 0}, {3, 4}}, "/MEASURE=EUCLID RESCALE");
  EXPECT_EQ(two.value(1, 0), 0.5);
  EXPECT_EQ(two.value(0, 0), 0.0);  // a distance's diagonal (below min) stays 0
  const ProximitiesResult reversed = runCommand({{0, 0}, {3, 4}}, "/MEASURE=EUCLID REVERSE RESCALE");
  EXPECT_EQ(reversed.value(1, 1), 1.0);  // above max: 1
  // Three items: the diagonal is limited to 0 … 1.
  const ProximitiesResult k1 = runCommand({{1, 1, 0}, {1, 0, 1}, {1, 1, 1}}, "/MEASURE=K1 RESCALE");
  EXPECT_EQ(k1.value(0, 0), 1.0);  // 9999.999 before RESCALE
  // REVERSE leaves no negative zero.
  const ProximitiesResult zero = runCommand({{1, 2}, {1, 2}, {0, 0}}, "/MEASURE=SEUCLID REVERSE");
  EXPECT_FALSE(std::signbit(zero.value(1, 0)));
  EXPECT_FALSE(std::signbit(zero.value(0, 0)));
  EXPECT_EQ(zero.value(2, 0), -5.0);
}

TEST(ProximitiesTransformations, AbsoluteComesBeforeReverseWhateverTheOrderWritten) {
  const Rows rows = {{1, 2, 3}, {3, 2, 1}, {1, 2, 4}};
  const ProximitiesResult plain = runCommand(rows, "/MEASURE=CORRELATION");
  const ProximitiesResult both = runCommand(rows, "/MEASURE=CORRELATION REVERSE ABSOLUTE");
  ASSERT_LT(plain.value(1, 0), 0.0);
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j <= i; ++j) EXPECT_EQ(both.value(i, j), -std::fabs(plain.value(i, j)));
}

// ---- missing values, case numbers, names --------------------------------------------

TEST(ProximitiesMissing, CasesWithAMissingValueAreLeftOutInBothViews) {
  ProximitiesData data = dataOf({{1, 2}, {kNaN, 5}, {4, 6}, {7, 9}, {2, 2}});
  data.missing = std::vector<unsigned char>(10, 0);
  data.missing[3 * 2 + 1] = 1;  // case 4: user-missing value of v2
  data.caseNumbers = {2, 3, 5, 8, 9};  // a filter left cases out before
  const auto dictionary = numberedDictionary(2);

  const ProximitiesResult cases =
      computeProximities(ProximitiesParser::parse("PROXIMITIES v1 v2 /MEASURE=SEUCLID", dictionary), data);
  EXPECT_EQ(cases.usedCases, (std::vector<std::size_t>{0, 2, 4}));
  EXPECT_EQ(cases.caseNumbers, (std::vector<std::int64_t>{2, 5, 9}));
  EXPECT_EQ(cases.names, (std::vector<std::string>{"VAR1", "VAR2", "VAR3"}));
  EXPECT_EQ(cases.labels, (std::vector<std::string>{"CASE 2", "CASE 5", "CASE 9"}));
  expectValues(lowerTriangle(cases), {25, 1, 20}, "cases");

  const ProximitiesResult variables = computeProximities(
      ProximitiesParser::parse("PROXIMITIES v1 v2 /VIEW=VARIABLE /MEASURE=SEUCLID", dictionary), data);
  EXPECT_EQ(variables.usedCases, (std::vector<std::size_t>{0, 2, 4}));
  EXPECT_EQ(variables.names, (std::vector<std::string>{"v1", "v2"}));
  EXPECT_EQ(variables.labels, (std::vector<std::string>{"", ""}));
  expectValues(lowerTriangle(variables), {1 + 4 + 0}, "variables");
}

TEST(ProximitiesMissing, DataThatDoNotFitTheCommandAreRejected) {
  const ProximitiesRequest request = ProximitiesParser::parse("PROXIMITIES v1 v2", numberedDictionary(2));
  EXPECT_THROW(computeProximities(request, dataOf({{1, 2, 3}})), EProximitiesError);
  ProximitiesData data = dataOf({{1, 2}});
  data.missing = {0};
  EXPECT_THROW(computeProximities(request, data), EProximitiesError);
  // No case left: an empty matrix.
  EXPECT_EQ(computeProximities(request, dataOf({{1, kNaN}})).itemCount(), 0u);
}

// ---- the PROX label ------------------------------------------------------------------

TEST(ProximitiesLabel, NamesTheMeasureTheKindAndSeuclidAlone) {
  for (const MeasureInfo& info : allMeasures())
    for (const bool reverse : {false, true}) {
      const std::string parameters = info.measure == ProximityMeasure::minkowski ? "(2)"
                                     : info.measure == ProximityMeasure::power   ? "(2,2)"
                                                                                 : "";
      const ProximitiesRequest request = ProximitiesParser::parse(
          std::string("PROXIMITIES v1 /MEASURE=") + info.keyword + parameters + (reverse ? " REVERSE" : ""),
          numberedDictionary(1));
      std::string label = proxValueLabel(request);
      EXPECT_NE(label.find(info.keyword), std::string::npos) << label;
      std::transform(label.begin(), label.end(), label.begin(), [](unsigned char c) { return std::tolower(c); });
      const bool dissimilarity = info.isSimilarity == reverse;
      EXPECT_EQ(label.find("dissimilarity") != std::string::npos, dissimilarity) << label;
      EXPECT_NE(label.find("similarity"), std::string::npos) << label;
      EXPECT_EQ(label.find(" seu") != std::string::npos, info.measure == ProximityMeasure::seuclid) << label;
    }
  const ProximitiesRequest request = ProximitiesParser::parse(
      "PROXIMITIES v1 /MEASURE=JACCARD(1,0) RESCALE REVERSE", numberedDictionary(1));
  EXPECT_EQ(proxValueLabel(request), "Proximities: JACCARD(1,0) REVERSE RESCALE, DISSIMILARITY");
}

}  // namespace
}  // namespace korvana::spss::test
