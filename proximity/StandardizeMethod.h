// A standardization of the values before interval or counts proximities are
// computed, by variable or by case. Shared objects made once by
// StandardizeMethodFactory; the dialog writes standardizeBy before each run.
#pragma once

#include <cstdint>
#include <string>

namespace korvana {

class StandardizeMethod {
 public:
  static constexpr std::int32_t byCase = 0;
  static constexpr std::int32_t byVariable = 1;

  StandardizeMethod(std::string name, std::string keyword, bool isNone);
  StandardizeMethod(const StandardizeMethod&) = delete;
  StandardizeMethod& operator=(const StandardizeMethod&) = delete;

  /// "/STANDARDIZE=", then "CASE " (standardizeBy 0) or "VARIABLE "
  /// (standardizeBy 1) or nothing (any other value), then the keyword. The
  /// by-choice is written for None as well.
  std::string syntaxText() const;

  const std::string& getName() const { return name_; }
  const std::string& getKeyword() const { return keyword_; }
  bool isNone() const { return isNone_; }
  void setStandardizeBy(std::int32_t value) { standardizeBy_ = value; }
  std::int32_t getStandardizeBy() const { return standardizeBy_; }

 private:
  std::string name_;
  std::string keyword_;
  bool isNone_;
  std::int32_t standardizeBy_ = byVariable;
};

}  // namespace korvana
