// A measure for interval data. Minkowski takes a power parameter and the
// customized measure (POWER) a power and a root; both are written into the
// command even when they equal the package's defaults.
#pragma once

#include <cstdint>
#include <string>

#include "proximity/Measure.h"

namespace korvana {

class IntervalMeasure final : public Measure {
 public:
  IntervalMeasure(std::string name, std::string keyword, bool usesPower, bool usesRoot);

  /// The standardization text, " /MEASURE=", the keyword with its parameters
  /// ("(p)", "(r)" or "(p,r)") and the transformations.
  std::string syntaxText(const StandardizeMethod& standardizeMethod) const override;

  bool getUsesPower() const { return usesPower_; }
  bool getUsesRoot() const { return usesRoot_; }
  void setPower(std::int32_t power) { power_ = power; }
  void setRoot(std::int32_t root) { root_ = root; }
  std::int32_t getPower() const { return power_; }
  std::int32_t getRoot() const { return root_; }

 private:
  bool usesPower_;
  bool usesRoot_;
  std::int32_t power_ = 2;
  std::int32_t root_ = 2;
};

}  // namespace korvana
