// Runs command syntax the way the package does: each command is echoed into
// the output document as a log item, then looked up in the registry and run.
// A command that is not known, or that fails, leaves an error item in the
// output document; the commands after it still run.
#pragma once

#include <cstddef>
#include <string>

#include "platform/spss/CommandRegistry.h"
#include "platform/spss/CommandSplitter.h"

namespace korvana::spss {

class SyntaxRunner {
 public:
  explicit SyntaxRunner(CommandRegistry registry) : registry_(std::move(registry)) {}

  /// Runs every command of the syntax; returns how many of them failed.
  std::size_t run(const std::string& syntax, CommandContext& context);

  /// The error item's text for a command that failed.
  static std::string errorText(const SyntaxCommand& command, const std::string& commandName,
                               const std::string& reason);

  CommandRegistry& registry() { return registry_; }

 private:
  CommandRegistry registry_;
};

}  // namespace korvana::spss
