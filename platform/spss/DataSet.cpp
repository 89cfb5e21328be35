#include "platform/spss/DataSet.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "common/EKorvanaError.h"
#include "common/SyntaxName.h"

namespace korvana::spss {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool sameVariableName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

bool MissingValues::contains(double value) const {
  if (std::isnan(value)) return false;
  for (double missing : values)
    if (value == missing) return true;
  for (const Range& range : ranges)
    if (value >= range.low && value <= range.high) return true;
  return false;
}

bool MissingValues::contains(std::string_view value) const {
  const std::size_t end = value.find_last_not_of(' ');
  const std::string_view trimmed = end == std::string_view::npos ? std::string_view() : value.substr(0, end + 1);
  for (const std::string& missing : strings)
    if (trimmed == missing) return true;
  return false;
}

std::string DataSet::unusedName(const std::string& base) const {
  if (!findVariable(base)) return base;
  for (std::size_t k = 2;; ++k) {
    const std::string suffix = "_" + std::to_string(k);
    std::string stem = base;
    // Cut at a character's start so that the name stays well-formed.
    while (stem.size() + suffix.size() > kMaxSyntaxNameLength) {
      while (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80) stem.pop_back();
      if (!stem.empty()) stem.pop_back();
    }
    if (!findVariable(stem + suffix)) return stem + suffix;
  }
}

std::size_t DataSet::addVariable(DataVariable variable) {
  if (variable.name.empty()) throw EKorvanaError("A variable has no name");
  if (!isSyntaxName(variable.name)) {
    std::string given = std::move(variable.name);
    variable.name = unusedName(syntaxNameFrom(given));
    if (variable.label.empty()) variable.label = given;
    renamings_.push_back({variables_.size(), std::move(given)});
  } else if (const auto taken = findVariable(variable.name)) {
    bool made = false;
    for (const Renaming& renaming : renamings_) made = made || renaming.index == *taken;
    if (!made) throw EKorvanaError("The variable name " + variable.name + " is used twice");
    variables_[*taken].name = unusedName(variables_[*taken].name);
  }
  Column column;
  if (variable.isNumeric())
    column.numbers.assign(caseCount_, std::numeric_limits<double>::quiet_NaN());
  else
    column.strings.assign(caseCount_, std::string());
  variables_.push_back(std::move(variable));
  columns_.push_back(std::move(column));
  return variables_.size() - 1;
}

std::size_t DataSet::addCase() {
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    if (variables_[i].isNumeric())
      columns_[i].numbers.push_back(std::numeric_limits<double>::quiet_NaN());
    else
      columns_[i].strings.emplace_back();
  }
  return caseCount_++;
}

void DataSet::checkCell(std::size_t caseIndex, std::size_t variable) const {
  if (variable >= variables_.size() || caseIndex >= caseCount_)
    throw std::out_of_range("no such case or variable in the data set");
}

void DataSet::setNumeric(std::size_t caseIndex, std::size_t variable, double value) {
  checkCell(caseIndex, variable);
  if (!variables_[variable].isNumeric()) throw std::logic_error("a number for a string variable");
  columns_[variable].numbers[caseIndex] = value;
}

void DataSet::setString(std::size_t caseIndex, std::size_t variable, std::string value) {
  checkCell(caseIndex, variable);
  if (variables_[variable].isNumeric()) throw std::logic_error("a string for a numeric variable");
  columns_[variable].strings[caseIndex] = std::move(value);
}

std::optional<std::size_t> DataSet::findVariable(std::string_view name) const {
  for (std::size_t i = 0; i < variables_.size(); ++i)
    if (sameVariableName(variables_[i].name, name)) return i;
  return std::nullopt;
}

double DataSet::numeric(std::size_t caseIndex, std::size_t variable) const {
  checkCell(caseIndex, variable);
  if (!variables_[variable].isNumeric()) throw std::logic_error("the number of a string variable");
  return columns_[variable].numbers[caseIndex];
}

const std::string& DataSet::string(std::size_t caseIndex, std::size_t variable) const {
  checkCell(caseIndex, variable);
  if (variables_[variable].isNumeric()) throw std::logic_error("the string of a numeric variable");
  return columns_[variable].strings[caseIndex];
}

bool DataSet::isUserMissing(std::size_t caseIndex, std::size_t variable) const {
  checkCell(caseIndex, variable);
  const MissingValues& missing = variables_[variable].missingValues;
  if (missing.empty()) return false;
  return variables_[variable].isNumeric() ? missing.contains(columns_[variable].numbers[caseIndex])
                                          : missing.contains(columns_[variable].strings[caseIndex]);
}

std::string DataSet::text(std::size_t caseIndex, std::size_t variable) const {
  checkCell(caseIndex, variable);
  if (!variables_[variable].isNumeric()) {
    const std::string& value = columns_[variable].strings[caseIndex];
    const std::size_t end = value.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : value.substr(0, end + 1);
  }
  const double value = columns_[variable].numbers[caseIndex];
  if (std::isnan(value)) return ".";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value == 0.0 ? 0.0 : value);
  return std::string(buffer, result.ptr);
}

}  // namespace korvana::spss
