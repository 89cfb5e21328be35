// A measure for binary data: the data values counted as present and absent are
// always written as the keyword's parameters. The package does not allow a
// standardization with these measures, so the command gets none.
#pragma once

#include <cstdint>
#include <string>

#include "proximity/Measure.h"

namespace korvana {

class BinaryMeasure final : public Measure {
 public:
  BinaryMeasure(std::string name, std::string keyword);

  /// "/MEASURE=", the keyword, "(present,absent)" and the transformations; the
  /// standardization is ignored.
  std::string syntaxText(const StandardizeMethod& standardizeMethod) const override;

  void setPresentValue(std::int32_t value) { presentValue_ = value; }
  void setAbsentValue(std::int32_t value) { absentValue_ = value; }
  std::int32_t getPresentValue() const { return presentValue_; }
  std::int32_t getAbsentValue() const { return absentValue_; }

 private:
  std::int32_t presentValue_ = 1;
  std::int32_t absentValue_ = 0;
};

}  // namespace korvana
