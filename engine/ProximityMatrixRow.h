// One row of a proximity matrix: object i with its proximities to the objects
// 0 … i − 1 (the strict lower triangle), its name, label, row type and case
// number as read from a matrix file. Rows are made by their ProximityMatrix,
// which keeps all values in one block; a row is a view of its part of it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace korvana {

class ProximityMatrixRow {
 public:
  int getPosition() const { return position_; }

  /// Value j (0 ≤ j < position): the proximity between this object and object j.
  double getValue(int j) const { return values_[j]; }
  void setValue(int j, double value) { values_[j] = value; }
  /// Values 0 … count − 1 from `count` doubles in memory, as they lie.
  void setValues(const void* bytes, int count) {
    if (count > 0) std::memcpy(values_, bytes, static_cast<std::size_t>(count) * sizeof(double));
  }

  const std::string& getName() const { return name_; }
  const std::string& getLabel() const { return label_; }
  void setLabel(std::string label) { label_ = std::move(label); }
  const std::string& getRowType() const { return rowType_; }
  std::int32_t getCaseNumber() const { return caseNumber_; }
  void setCaseNumber(std::int32_t caseNumber) { caseNumber_ = caseNumber; }

 private:
  friend class ProximityMatrix;
  ProximityMatrixRow(int position, double* values, std::string name, std::string rowType)
      : position_(position), values_(values), name_(std::move(name)), rowType_(std::move(rowType)) {}

  int position_;
  double* values_;  // `position_` values inside the matrix's block
  std::string name_;
  std::string label_;
  std::string rowType_;
  std::int32_t caseNumber_ = 0;
};

}  // namespace korvana
