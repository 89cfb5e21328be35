#include "platform/spss/FilterCommand.h"

#include "platform/spss/DataDocument.h"

namespace korvana::spss {

void FilterCommand::run(const std::vector<std::string>& arguments, CommandContext& context) {
  DataDocument& data = context.activeData();
  if (arguments.size() == 1 && upperCase(arguments[0]) == "OFF") {
    data.setFilterVariable("");
    return;
  }
  if (arguments.size() != 2 || upperCase(arguments[0]) != "BY")
    throw ECommandError("FILTER expects BY and one variable name, or OFF.");
  try {
    data.setFilterVariable(arguments[1]);
  } catch (const EKorvanaError& error) {
    throw ECommandError(std::string(error.what()) + ".");
  }
}

}  // namespace korvana::spss
