#include "proximity/IntervalMeasureFactory.h"

#include <array>
#include <memory>

namespace korvana::IntervalMeasureFactory {

namespace {

enum Index { euclid, seuclid, cosine, correlation, chebychev, block, minkowski, power, count };

struct Definition {
  const char* name;
  const char* keyword;
  bool usesPower;
  bool usesRoot;
};

constexpr std::array<Definition, count> kDefinitions = {{
    {"Euclidean distance", "EUCLID", false, false},
    {"Squared Euclidean distance", "SEUCLID", false, false},
    {"Cosine", "COSINE", false, false},
    {"Pearson correlation", "CORRELATION", false, false},
    {"Chebychev", "CHEBYCHEV", false, false},
    {"Block", "BLOCK", false, false},
    {"Minkowski", "MINKOWSKI", true, false},
    {"Customized", "POWER", true, true},
}};

std::array<std::unique_ptr<IntervalMeasure>, count>& instances() {
  static std::array<std::unique_ptr<IntervalMeasure>, count> measures;
  return measures;
}

IntervalMeasure* at(Index index) { return instances()[index].get(); }

}  // namespace

void createIntervalMeasures() {
  for (std::size_t i = 0; i < kDefinitions.size(); ++i) {
    const Definition& d = kDefinitions[i];
    instances()[i] = std::make_unique<IntervalMeasure>(d.name, d.keyword, d.usesPower, d.usesRoot);
  }
}

void destroyIntervalMeasures() {
  for (auto& measure : instances()) measure.reset();
}

IntervalMeasure* getEuclideanDistance() { return at(euclid); }
IntervalMeasure* getSquaredEuclideanDistance() { return at(seuclid); }
IntervalMeasure* getCosine() { return at(cosine); }
IntervalMeasure* getPearsonCorrelation() { return at(correlation); }
IntervalMeasure* getChebychev() { return at(chebychev); }
IntervalMeasure* getBlock() { return at(block); }
IntervalMeasure* getMinkowski() { return at(minkowski); }
IntervalMeasure* getCustomized() { return at(power); }

std::vector<IntervalMeasure*> getIntervalMeasures() {
  std::vector<IntervalMeasure*> result;
  for (auto& measure : instances())
    if (measure) result.push_back(measure.get());
  return result;
}

}  // namespace korvana::IntervalMeasureFactory
