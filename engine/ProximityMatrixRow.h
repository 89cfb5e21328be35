// One row of a proximity matrix: object i with its proximities to the objects
// 0 … i − 1 (the strict lower triangle), its name, label, row type and case
// number as read from a matrix file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace korvana {

class ProximityMatrixRow {
 public:
  /// Row `position` (its object number) with room for `position` values, all 0.
  ProximityMatrixRow(int position, std::string name, std::string rowType);

  int getPosition() const { return position_; }

  /// Value j (0 ≤ j < position): the proximity between this object and object j.
  double getValue(int j) const { return values_[static_cast<std::size_t>(j)]; }
  void setValue(int j, double value) { values_[static_cast<std::size_t>(j)] = value; }
  /// The `position` values in column order.
  const double* values() const { return values_.get(); }

  const std::string& getName() const { return name_; }
  const std::string& getLabel() const { return label_; }
  void setLabel(std::string label) { label_ = std::move(label); }
  const std::string& getRowType() const { return rowType_; }
  std::int32_t getCaseNumber() const { return caseNumber_; }
  void setCaseNumber(std::int32_t caseNumber) { caseNumber_ = caseNumber; }

 private:
  int position_;
  std::unique_ptr<double[]> values_;
  std::string name_;
  std::string label_;
  std::string rowType_;
  std::int32_t caseNumber_ = 0;
};

}  // namespace korvana
