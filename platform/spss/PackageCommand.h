// One command of the package's syntax. A command is registered under its name
// (one or more words, such as "SPLIT FILE") in a CommandRegistry; running it
// gets the words that follow the name. A command that cannot do what it is
// asked raises ECommandError with the reason, which the package writes into
// the output document.
#pragma once

#include <string>
#include <vector>

#include "common/EKorvanaError.h"

namespace korvana::spss {

class DataDocument;
class DocumentCollection;
class OutputDocument;

class ECommandError : public EKorvanaError {
 public:
  using EKorvanaError::EKorvanaError;
};

/// What a command works on: the open data sets and the output document.
class CommandContext {
 public:
  CommandContext(DocumentCollection& documents, OutputDocument& output) : documents_(documents), output_(output) {}

  /// The active data set (index 0); raises ECommandError when none is open.
  DataDocument& activeData() const;
  DocumentCollection& documents() const { return documents_; }
  OutputDocument& output() const { return output_; }

  /// The whole text of the command being run, its name included, as the
  /// syntax gives it (lines joined with "\n", without the terminating full
  /// stop). Commands whose arguments must not be split into words (a file
  /// name with quotes in it) read this instead.
  const std::string& commandText() const { return commandText_; }
  void setCommandText(std::string text) { commandText_ = std::move(text); }

 private:
  DocumentCollection& documents_;
  OutputDocument& output_;
  std::string commandText_;
};

class PackageCommand {
 public:
  virtual ~PackageCommand() = default;
  /// The command's name in upper case, words separated by one blank.
  virtual std::string name() const = 0;
  /// Runs the command with the words after its name (CommandSplitter::words).
  virtual void run(const std::vector<std::string>& arguments, CommandContext& context) = 0;
};

/// Upper case of an ASCII word.
std::string upperCase(const std::string& word);

}  // namespace korvana::spss
