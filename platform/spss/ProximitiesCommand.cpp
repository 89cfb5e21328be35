#include "platform/spss/ProximitiesCommand.h"

namespace korvana::spss {

void ProximitiesCommand::run(const std::vector<std::string>&, CommandContext&) {
  throw ECommandError("The PROXIMITIES procedure is not available in this version of the package.");
}

}  // namespace korvana::spss
