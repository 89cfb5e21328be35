#include "proximity/CountsMeasure.h"

#include <utility>

#include "proximity/StandardizeMethod.h"

namespace korvana {

CountsMeasure::CountsMeasure(std::string name, std::string keyword) : Measure(std::move(name), std::move(keyword)) {}

std::string CountsMeasure::syntaxText(const StandardizeMethod& standardizeMethod) const {
  return standardizeMethod.syntaxText() + " /MEASURE=" + getKeyword() + transformationText();
}

}  // namespace korvana
