#include "proximity/StandardizeMethod.h"

#include <utility>

namespace korvana {

StandardizeMethod::StandardizeMethod(std::string name, std::string keyword, bool isNone)
    : name_(std::move(name)), keyword_(std::move(keyword)), isNone_(isNone) {}

std::string StandardizeMethod::syntaxText() const {
  std::string text = "/STANDARDIZE=";
  if (standardizeBy_ == byCase) text += "CASE ";
  else if (standardizeBy_ == byVariable) text += "VARIABLE ";
  return text + keyword_;
}

}  // namespace korvana
