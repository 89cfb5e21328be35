#include "platform/spss/PackageCommand.h"

#include "platform/spss/DocumentCollection.h"

namespace korvana::spss {

DataDocument& CommandContext::activeData() const {
  DataDocument* active = documents_.at(0);
  if (!active) throw ECommandError("There is no open data set for the command to work on.");
  return *active;
}

std::string upperCase(const std::string& word) {
  std::string upper = word;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

}  // namespace korvana::spss
