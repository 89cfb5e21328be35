#include "proximity/Measure.h"

#include <utility>

namespace korvana {

Measure::Measure(std::string name, std::string keyword) : name_(std::move(name)), keyword_(std::move(keyword)) {}

Measure::~Measure() = default;

std::string Measure::transformationText() const {
  std::string text;
  if (absolute_) text += " ABSOLUTE";
  if (reverse_) text += " REVERSE";
  if (rescale_) text += " RESCALE";
  return text;
}

}  // namespace korvana
