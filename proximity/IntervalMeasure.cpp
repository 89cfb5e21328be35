#include "proximity/IntervalMeasure.h"

#include <utility>

#include "proximity/StandardizeMethod.h"

namespace korvana {

IntervalMeasure::IntervalMeasure(std::string name, std::string keyword, bool usesPower, bool usesRoot)
    : Measure(std::move(name), std::move(keyword)), usesPower_(usesPower), usesRoot_(usesRoot) {}

std::string IntervalMeasure::syntaxText(const StandardizeMethod& standardizeMethod) const {
  std::string text = standardizeMethod.syntaxText() + " /MEASURE=" + getKeyword();
  if (usesPower_ || usesRoot_) {
    text += '(';
    if (usesPower_) text += std::to_string(power_);
    if (usesPower_ && usesRoot_) text += ',';
    if (usesRoot_) text += std::to_string(root_);
    text += ')';
  }
  return text + transformationText();
}

}  // namespace korvana
