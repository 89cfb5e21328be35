// FILTER BY variable: only cases whose value of the (numeric) variable is not
// 0 are used from now on. FILTER OFF: all cases are used.
#pragma once

#include "platform/spss/PackageCommand.h"

namespace korvana::spss {

class FilterCommand final : public PackageCommand {
 public:
  std::string name() const override { return "FILTER"; }
  void run(const std::vector<std::string>& arguments, CommandContext& context) override;
};

}  // namespace korvana::spss
