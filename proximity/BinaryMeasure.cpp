#include "proximity/BinaryMeasure.h"

#include <utility>

namespace korvana {

BinaryMeasure::BinaryMeasure(std::string name, std::string keyword) : Measure(std::move(name), std::move(keyword)) {}

std::string BinaryMeasure::syntaxText(const StandardizeMethod&) const {
  return "/MEASURE=" + getKeyword() + "(" + std::to_string(presentValue_) + "," + std::to_string(absentValue_) + ")" +
         transformationText();
}

}  // namespace korvana
