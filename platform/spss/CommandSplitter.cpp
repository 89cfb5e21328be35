#include "platform/spss/CommandSplitter.h"

namespace korvana::spss {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string trimmed(const std::string& text) {
  std::size_t first = 0;
  while (first < text.size() && isBlank(text[first])) ++first;
  std::size_t last = text.size();
  while (last > first && isBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace

std::vector<SyntaxCommand> CommandSplitter::split(const std::string& syntax) {
  std::vector<SyntaxCommand> commands;
  std::string pending;
  std::size_t pendingLine = 0;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  const auto finish = [&]() {
    const std::string text = trimmed(pending);
    if (!text.empty()) commands.push_back({text, pendingLine});
    pending.clear();
    pendingLine = 0;
  };
  while (start <= syntax.size()) {
    std::size_t end = syntax.find('\n', start);
    if (end == std::string::npos) end = syntax.size();
    std::string line = syntax.substr(start, end - start);
    ++lineNumber;
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t last = line.size();
    while (last > 0 && isBlank(line[last - 1])) --last;
    const bool terminated = last > 0 && line[last - 1] == '.';
    if (terminated) line.erase(last - 1);
    if (pendingLine == 0 && !trimmed(line).empty()) pendingLine = lineNumber;
    if (!pending.empty()) pending += '\n';
    pending += line;
    if (terminated) finish();
    if (end == syntax.size()) break;
  }
  finish();
  return commands;
}

std::vector<std::string> CommandSplitter::words(const std::string& commandText) {
  std::vector<std::string> result;
  std::size_t i = 0;
  const auto isSeparator = [](char c) { return c == '/' || c == '=' || c == ',' || c == '(' || c == ')'; };
  while (i < commandText.size()) {
    const char c = commandText[i];
    if (isBlank(c)) {
      ++i;
    } else if (isSeparator(c)) {
      result.emplace_back(1, c);
      ++i;
    } else if (c == '\'' || c == '"') {
      std::string word(1, c);
      ++i;
      while (i < commandText.size()) {
        if (commandText[i] == c) {
          if (i + 1 < commandText.size() && commandText[i + 1] == c) {
            word += c;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        word += commandText[i++];
      }
      word += c;
      result.push_back(std::move(word));
    } else {
      std::string word;
      while (i < commandText.size() && !isBlank(commandText[i]) && !isSeparator(commandText[i]) &&
             commandText[i] != '\'' && commandText[i] != '"')
        word += commandText[i++];
      result.push_back(std::move(word));
    }
  }
  return result;
}

}  // namespace korvana::spss
