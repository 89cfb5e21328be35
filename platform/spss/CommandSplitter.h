// Splits command syntax into commands. A command ends where a line ends in a
// full stop (blanks after it allowed) or where the text ends; the full stop
// is not part of the command. Lines of blanks between commands are skipped.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace korvana::spss {

struct SyntaxCommand {
  /// The command's lines joined with "\n", without the terminating full stop
  /// and without blanks around it.
  std::string text;
  /// The line the command starts on, from 1.
  std::size_t line = 1;
};

class CommandSplitter {
 public:
  static std::vector<SyntaxCommand> split(const std::string& syntax);

  /// The words of a command: runs of characters other than blanks, line ends
  /// and the separators "/", "=", ",", "(", ")", each separator a word of its
  /// own; a text in apostrophes or quotation marks is one word with its quotes
  /// (a doubled quote inside stands for one).
  static std::vector<std::string> words(const std::string& commandText);
};

}  // namespace korvana::spss
