// The keyword lists the library's refusals name.
#pragma once

#include <string>
#include <vector>

namespace korvana::api {

/// The words separated by ", ".
inline std::string joinedWords(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
  return text;
}

}  // namespace korvana::api
