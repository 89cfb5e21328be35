#include "proximity/StandardizeMethodFactory.h"

#include <array>
#include <memory>

namespace korvana::StandardizeMethodFactory {

namespace {

enum Index { none, z, range, rescale, max, mean, sd, count };

struct Definition {
  const char* name;
  const char* keyword;
  bool isNone;
};

constexpr std::array<Definition, count> kDefinitions = {{
    {"None", "NONE", true},
    {"Z scores", "Z", false},
    {"Range -1 to 1", "RANGE", false},
    {"Range 0 to 1", "RESCALE", false},
    {"Maximum magnitude of 1", "MAX", false},
    {"Mean of 1", "MEAN", false},
    {"Standard deviation of 1", "SD", false},
}};

std::array<std::unique_ptr<StandardizeMethod>, count>& instances() {
  static std::array<std::unique_ptr<StandardizeMethod>, count> methods;
  return methods;
}

StandardizeMethod* at(Index index) { return instances()[index].get(); }

}  // namespace

void createStandardizeMethods() {
  for (std::size_t i = 0; i < kDefinitions.size(); ++i) {
    const Definition& d = kDefinitions[i];
    instances()[i] = std::make_unique<StandardizeMethod>(d.name, d.keyword, d.isNone);
  }
}

void destroyStandardizeMethods() {
  for (auto& method : instances()) method.reset();
}

StandardizeMethod* getNone() { return at(none); }
StandardizeMethod* getZScores() { return at(z); }
StandardizeMethod* getRangeMinus1To1() { return at(range); }
StandardizeMethod* getRange0To1() { return at(rescale); }
StandardizeMethod* getMaximumMagnitudeOf1() { return at(max); }
StandardizeMethod* getMeanOf1() { return at(mean); }
StandardizeMethod* getStandardDeviationOf1() { return at(sd); }

std::vector<StandardizeMethod*> getStandardizeMethods() {
  std::vector<StandardizeMethod*> result;
  for (auto& method : instances())
    if (method) result.push_back(method.get());
  return result;
}

}  // namespace korvana::StandardizeMethodFactory
