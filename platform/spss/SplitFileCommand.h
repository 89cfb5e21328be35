// SPLIT FILE [LAYERED | SEPARATE] BY variable [variable ...]: the data set is
// split into groups by the variables. SPLIT FILE OFF ends the split.
#pragma once

#include "platform/spss/PackageCommand.h"

namespace korvana::spss {

class SplitFileCommand final : public PackageCommand {
 public:
  std::string name() const override { return "SPLIT FILE"; }
  void run(const std::vector<std::string>& arguments, CommandContext& context) override;
};

}  // namespace korvana::spss
