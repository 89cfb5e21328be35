// Shared helpers of the PROXIMITIES tests: running a command text on a small
// data set given case by case, and comparing values to a number of
// significant digits.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/spss/proximities/ProximitiesComputation.h"
#include "platform/spss/proximities/ProximitiesParser.h"

namespace korvana::spss::test {

using Rows = std::vector<std::vector<double>>;

/// A dictionary of numeric variables v1 … vk.
inline std::vector<ProximitiesVariable> numberedDictionary(std::size_t k) {
  std::vector<ProximitiesVariable> dictionary;
  for (std::size_t v = 0; v < k; ++v) dictionary.push_back({"v" + std::to_string(v + 1), true});
  return dictionary;
}

inline ProximitiesData dataOf(const Rows& rows) {
  ProximitiesData data;
  data.caseCount = rows.size();
  data.variableCount = rows.empty() ? 0 : rows[0].size();
  for (const auto& row : rows) data.values.insert(data.values.end(), row.begin(), row.end());
  return data;
}

/// "PROXIMITIES v1,…,vk " + subcommands on the rows (cases × k values).
inline ProximitiesResult runCommand(const Rows& rows, const std::string& subcommands) {
  const std::size_t k = rows.at(0).size();
  std::string command = "PROXIMITIES ";
  for (std::size_t v = 0; v < k; ++v) command += (v ? ",v" : "v") + std::to_string(v + 1);
  command += " " + subcommands + ".";
  const ProximitiesRequest request = ProximitiesParser::parse(command, numberedDictionary(k));
  return computeProximities(request, dataOf(rows));
}

/// The strict lower triangle (1,0), (2,0), (2,1), … of a result.
inline std::vector<double> lowerTriangle(const ProximitiesResult& result) {
  std::vector<double> values;
  for (std::size_t i = 1; i < result.itemCount(); ++i)
    for (std::size_t j = 0; j < i; ++j) values.push_back(result.value(i, j));
  return values;
}

/// Agreement to ten significant digits, the precision of the worked examples
/// (half a unit in the tenth digit is at most 5e-10 of the value).
inline ::testing::AssertionResult closeTo(double actual, double expected, double relative = 6e-10) {
  if (std::isnan(expected) ? std::isnan(actual)
                           : std::fabs(actual - expected) <= relative * std::fabs(expected) + 1e-15)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual << " is not " << expected;
}

inline void expectValues(const std::vector<double>& actual, const std::vector<double>& expected,
                         const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_TRUE(closeTo(actual[i], expected[i])) << what << " cell " << i;
}

}  // namespace korvana::spss::test
