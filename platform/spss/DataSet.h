// An open data set held in memory: its dictionary and its cases. The readers
// of the data-file formats fill one; the data documents show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvana::spss {

/// Measurement levels as GetVariableInfo reports them.
enum MeasurementLevel : std::int32_t {
  measurementUnknown = 0,
  measurementNominal = 1,
  measurementOrdinal = 2,
  measurementScale = 3
};

/// The user-missing values declared for a variable: single values and
/// ranges (both ends included) of a numeric variable, single values of a
/// string variable (compared without trailing blanks).
struct MissingValues {
  struct Range {
    double low = 0.0;
    double high = 0.0;
    bool operator==(const Range&) const = default;
  };
  std::vector<double> values;
  std::vector<Range> ranges;
  std::vector<std::string> strings;

  bool empty() const { return values.empty() && ranges.empty() && strings.empty(); }
  /// Whether a number is one of the declared values or in a declared range
  /// (NaN, system-missing, is never user-missing).
  bool contains(double value) const;
  bool contains(std::string_view value) const;
  bool operator==(const MissingValues&) const = default;
};

struct DataVariable {
  std::string name;
  std::string label;
  /// 0 numeric; otherwise the width of a string variable in bytes.
  std::int32_t type = 0;
  std::int32_t measurementLevel = measurementUnknown;
  std::int32_t valueLabelCount = 0;
  MissingValues missingValues{};

  bool isNumeric() const { return type == 0; }
};

class DataSet {
 public:
  /// Adds a variable after the existing ones, with no values yet (every case
  /// added before it gets system-missing or blank). Returns its index.
  /// A name that is not a valid variable name (common/SyntaxName.h) is made
  /// one, unique among the data set's names (a suffix "_2", "_3", ... when
  /// needed), and the name as given becomes the label when the variable has
  /// none; a valid name taken by a name made this way takes it over (the made
  /// one gets a suffix). Throws EKorvanaError when the name is empty or a
  /// valid name already used (names are compared without regard to case).
  std::size_t addVariable(DataVariable variable);

  /// The variables whose names addVariable changed, in the order added.
  struct Renaming {
    std::size_t index;
    std::string givenName;
  };
  const std::vector<Renaming>& renamings() const { return renamings_; }

  /// Appends a case with every numeric value system-missing and every string
  /// empty; returns its 0-based index.
  std::size_t addCase();
  void setNumeric(std::size_t caseIndex, std::size_t variable, double value);
  void setString(std::size_t caseIndex, std::size_t variable, std::string value);

  std::size_t variableCount() const { return variables_.size(); }
  std::size_t caseCount() const { return caseCount_; }
  const DataVariable& variable(std::size_t index) const { return variables_.at(index); }
  DataVariable& variable(std::size_t index) { return variables_.at(index); }
  /// The index of a variable by name, without regard to case.
  std::optional<std::size_t> findVariable(std::string_view name) const;

  /// A numeric value; NaN is system-missing.
  double numeric(std::size_t caseIndex, std::size_t variable) const;
  const std::string& string(std::size_t caseIndex, std::size_t variable) const;
  /// Whether the value is one of the variable's user-missing values.
  bool isUserMissing(std::size_t caseIndex, std::size_t variable) const;
  /// A value as text: strings without trailing blanks; numbers in their
  /// shortest exact decimal form ("2", "0.25", "1e+20"); system-missing ".".
  std::string text(std::size_t caseIndex, std::size_t variable) const;

  /// What the reader had to decide about the file that the user should know
  /// (how text that was not UTF-8 was read), one sentence each.
  const std::vector<std::string>& readingNotes() const { return readingNotes_; }
  void addReadingNote(std::string note) { readingNotes_.push_back(std::move(note)); }

  /// The weighting variable recorded with the data (empty: none).
  const std::string& weightVariable() const { return weightVariable_; }
  void setWeightVariable(std::string name) { weightVariable_ = std::move(name); }

 private:
  struct Column {
    std::vector<double> numbers;
    std::vector<std::string> strings;
  };

  void checkCell(std::size_t caseIndex, std::size_t variable) const;
  /// `base`, or `base` with the first suffix "_2", "_3", ... that no
  /// variable's name has, cut to fit a name's length.
  std::string unusedName(const std::string& base) const;

  std::vector<DataVariable> variables_;
  std::vector<Column> columns_;
  std::size_t caseCount_ = 0;
  std::string weightVariable_;
  std::vector<std::string> readingNotes_;
  std::vector<Renaming> renamings_;
};

/// Whether two variable names are the same name (without regard to case).
bool sameVariableName(std::string_view a, std::string_view b);

}  // namespace korvana::spss
