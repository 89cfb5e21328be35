// A table of cases saved as a data file for the statistics package, or as
// comma-separated text: the variables, numeric or strings, with a value for
// every case.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace korvana {

struct CaseTableVariable {
  std::string name;
  std::string label;
  /// 0: numeric; else a string variable of that many bytes (1 to 255).
  int width = 0;
  /// The decimals a numeric variable is shown with (F format).
  int decimals = 0;
  std::vector<double> numbers;       // numeric: one per case, NaN system-missing
  std::vector<std::string> strings;  // string: one per case
};

class CaseTable {
 public:
  /// Adds a variable after the others; its values must number caseCount().
  void addVariable(CaseTableVariable variable);
  void setCaseCount(std::size_t count) { caseCount_ = count; }
  std::size_t caseCount() const { return caseCount_; }
  const std::vector<CaseTableVariable>& variables() const { return variables_; }
  /// Whether a variable of that name is there (without regard to case).
  bool hasVariable(const std::string& name) const;

  /// Writes the table, replacing a file of that name only when complete: as
  /// comma-separated text (a header of names, then a line per case; a
  /// system-missing value empty) when the name ends in ".csv" in any case,
  /// else as a data file through the data-file library, with `fileLabel`.
  /// Throws EKorvanaError naming the file and the problem; the file is then
  /// left as it was.
  void save(const std::string& fileName, const std::string& fileLabel) const;

 private:
  void saveData(const std::string& fileName, const std::string& fileLabel) const;
  void saveText(const std::string& fileName) const;

  std::vector<CaseTableVariable> variables_;
  std::size_t caseCount_ = 0;
};

/// The decimals a number's shortest text shows (0 for whole numbers; at
/// most 16).
int decimalsOf(double value);

}  // namespace korvana
