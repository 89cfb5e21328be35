// The commands the package knows, by name. Names are matched without regard
// to case against the first words of a command; the longest name that
// matches wins, so "SPLIT FILE" and a one-word "SPLIT" could live side by side.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/spss/PackageCommand.h"

namespace korvana::spss {

class CommandRegistry {
 public:
  /// The commands built into the package.
  static CommandRegistry builtIn();

  /// Registers a command; one of the same name is replaced.
  void add(std::unique_ptr<PackageCommand> command);

  struct Match {
    PackageCommand* command = nullptr;
    std::size_t nameWords = 0;  // how many of the words are the name
  };
  /// The command whose name begins the words; command is null when none does.
  Match find(const std::vector<std::string>& words) const;

  std::vector<std::string> names() const;

 private:
  std::map<std::string, std::unique_ptr<PackageCommand>> commands_;  // by upper-case name
  std::size_t longestName_ = 0;  // in words
};

}  // namespace korvana::spss
