#include "proximity/CountsMeasureFactory.h"

#include <array>
#include <memory>

namespace korvana::CountsMeasureFactory {

namespace {

enum Index { chiSquare, phiSquare, count };

std::array<std::unique_ptr<CountsMeasure>, count>& instances() {
  static std::array<std::unique_ptr<CountsMeasure>, count> measures;
  return measures;
}

}  // namespace

void createCountsMeasures() {
  instances()[chiSquare] = std::make_unique<CountsMeasure>("Chi-square measure", "CHISQ");
  instances()[phiSquare] = std::make_unique<CountsMeasure>("Phi-square measure", "PH2");
}

void destroyCountsMeasures() {
  for (auto& measure : instances()) measure.reset();
}

CountsMeasure* getChiSquareMeasure() { return instances()[chiSquare].get(); }
CountsMeasure* getPhiSquareMeasure() { return instances()[phiSquare].get(); }

std::vector<CountsMeasure*> getCountsMeasures() {
  std::vector<CountsMeasure*> result;
  for (auto& measure : instances())
    if (measure) result.push_back(measure.get());
  return result;
}

}  // namespace korvana::CountsMeasureFactory
