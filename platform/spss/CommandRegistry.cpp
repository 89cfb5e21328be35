#include "platform/spss/CommandRegistry.h"

#include <algorithm>
#include <stdexcept>

#include "platform/spss/FilterCommand.h"
#include "platform/spss/ProximitiesCommand.h"
#include "platform/spss/SplitFileCommand.h"
#include "platform/spss/WeightCommand.h"

namespace korvana::spss {

CommandRegistry CommandRegistry::builtIn() {
  CommandRegistry registry;
  registry.add(std::make_unique<FilterCommand>());
  registry.add(std::make_unique<WeightCommand>());
  registry.add(std::make_unique<SplitFileCommand>());
  registry.add(std::make_unique<ProximitiesCommand>());
  return registry;
}

void CommandRegistry::add(std::unique_ptr<PackageCommand> command) {
  if (!command) throw std::invalid_argument("no command to register");
  const std::string name = upperCase(command->name());
  if (name.empty()) throw std::invalid_argument("a command needs a name");
  std::size_t words = 1;
  for (char c : name) words += c == ' ' ? 1 : 0;
  longestName_ = std::max(longestName_, words);
  commands_[name] = std::move(command);
}

CommandRegistry::Match CommandRegistry::find(const std::vector<std::string>& words) const {
  Match best;
  std::string candidate;
  for (std::size_t count = 1; count <= words.size() && count <= longestName_; ++count) {
    if (count > 1) candidate += ' ';
    candidate += upperCase(words[count - 1]);
    const auto found = commands_.find(candidate);
    if (found != commands_.end()) best = {found->second.get(), count};
  }
  return best;
}

std::vector<std::string> CommandRegistry::names() const {
  std::vector<std::string> result;
  for (const auto& entry : commands_) result.push_back(entry.first);
  return result;
}

}  // namespace korvana::spss
