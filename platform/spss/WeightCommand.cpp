#include "platform/spss/WeightCommand.h"

#include "platform/spss/DataDocument.h"

namespace korvana::spss {

void WeightCommand::run(const std::vector<std::string>& arguments, CommandContext& context) {
  DataDocument& data = context.activeData();
  if (arguments.size() == 1 && upperCase(arguments[0]) == "OFF") {
    data.setWeightVariable("");
    return;
  }
  if (arguments.size() != 2 || upperCase(arguments[0]) != "BY")
    throw ECommandError("WEIGHT expects BY and one variable name, or OFF.");
  try {
    data.setWeightVariable(arguments[1]);
  } catch (const EKorvanaError& error) {
    throw ECommandError(std::string(error.what()) + ".");
  }
}

}  // namespace korvana::spss
