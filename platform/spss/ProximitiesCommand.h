// PROXIMITIES: the procedure is not part of this build of the package; the
// command reports so and does nothing else.
#pragma once

#include "platform/spss/PackageCommand.h"

namespace korvana::spss {

class ProximitiesCommand final : public PackageCommand {
 public:
  std::string name() const override { return "PROXIMITIES"; }
  void run(const std::vector<std::string>& arguments, CommandContext& context) override;
};

}  // namespace korvana::spss
