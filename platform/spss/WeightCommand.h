// WEIGHT BY variable: cases are weighted by the (numeric) variable from now
// on. WEIGHT OFF: cases are not weighted.
#pragma once

#include "platform/spss/PackageCommand.h"

namespace korvana::spss {

class WeightCommand final : public PackageCommand {
 public:
  std::string name() const override { return "WEIGHT"; }
  void run(const std::vector<std::string>& arguments, CommandContext& context) override;
};

}  // namespace korvana::spss
