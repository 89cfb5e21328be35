#include "platform/spss/SyntaxRunner.h"

#include <exception>

#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::spss {

std::string SyntaxRunner::errorText(const SyntaxCommand& command, const std::string& commandName,
                                    const std::string& reason) {
  return "Error in the command on line " + std::to_string(command.line) + " (" + commandName + "):\n" + reason +
         "\nThis command was not run.";
}

std::size_t SyntaxRunner::run(const std::string& syntax, CommandContext& context) {
  std::size_t failures = 0;
  for (const SyntaxCommand& command : CommandSplitter::split(syntax)) {
    context.output().appendLogText(command.text + ".");
    const std::vector<std::string> words = CommandSplitter::words(command.text);
    const CommandRegistry::Match match = registry_.find(words);
    const std::string firstWord = words.empty() ? std::string() : upperCase(words.front());
    if (!match.command) {
      ++failures;
      context.output().appendErrorText(
          errorText(command, firstWord, firstWord + " is not the name of a command the package knows."));
      continue;
    }
    context.setCommandText(command.text);
    try {
      match.command->run(std::vector<std::string>(words.begin() + static_cast<std::ptrdiff_t>(match.nameWords),
                                                  words.end()),
                         context);
    } catch (const std::exception& error) {
      ++failures;
      context.output().appendErrorText(errorText(command, match.command->name(), error.what()));
    }
  }
  return failures;
}

}  // namespace korvana::spss
