// The data a PROXIMITIES command works on: the values of the command's
// variables (in the order of its variable list) for the cases in force (the
// filter already applied by the caller), with their missing-value flags and
// case numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvana::spss {

struct ProximitiesData {
  std::size_t caseCount = 0;
  std::size_t variableCount = 0;
  /// caseCount × variableCount values, case by case; NaN is system-missing.
  std::vector<double> values;
  /// Empty, or one flag per value: nonzero marks a missing value (a
  /// user-missing value; a system-missing one may be flagged too).
  std::vector<unsigned char> missing;
  /// Empty (the cases are numbered 1, 2, …), or the number of each case in
  /// the data set (from 1), which has gaps where the filter left cases out.
  std::vector<std::int64_t> caseNumbers;

  double value(std::size_t caseIndex, std::size_t variable) const { return values[caseIndex * variableCount + variable]; }
};

}  // namespace korvana::spss
