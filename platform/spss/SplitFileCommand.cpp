#include "platform/spss/SplitFileCommand.h"

#include "platform/spss/DataDocument.h"

namespace korvana::spss {

void SplitFileCommand::run(const std::vector<std::string>& arguments, CommandContext& context) {
  DataDocument& data = context.activeData();
  if (arguments.size() == 1 && upperCase(arguments[0]) == "OFF") {
    data.setSplitVariables({});
    return;
  }
  std::size_t next = 0;
  if (next < arguments.size() && (upperCase(arguments[next]) == "LAYERED" || upperCase(arguments[next]) == "SEPARATE"))
    ++next;
  if (next >= arguments.size() || upperCase(arguments[next]) != "BY")
    throw ECommandError("SPLIT FILE expects BY and variable names, or OFF.");
  std::vector<std::string> names;
  for (++next; next < arguments.size(); ++next)
    if (arguments[next] != ",") names.push_back(arguments[next]);
  if (names.empty()) throw ECommandError("SPLIT FILE BY names no variable.");
  try {
    data.setSplitVariables(names);
  } catch (const EKorvanaError& error) {
    throw ECommandError(std::string(error.what()) + ".");
  }
}

}  // namespace korvana::spss
