#include "analysis/Variable.h"

#include <utility>

namespace korvana {

Variable::Variable(std::int32_t index, std::string name, std::string label, std::int32_t type)
    : index_(index), name_(std::move(name)), label_(std::move(label)), type_(type) {}

std::string Variable::getDisplayText() const {
  if (label_.empty()) return name_;
  return label_ + " [" + name_ + "]";
}

}  // namespace korvana
