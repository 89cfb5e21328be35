// A measure for frequency counts (chi-square, phi-square): no parameters.
#pragma once

#include <string>

#include "proximity/Measure.h"

namespace korvana {

class CountsMeasure final : public Measure {
 public:
  CountsMeasure(std::string name, std::string keyword);

  /// The standardization text, " /MEASURE=", the keyword and the
  /// transformations.
  std::string syntaxText(const StandardizeMethod& standardizeMethod) const override;
};

}  // namespace korvana
