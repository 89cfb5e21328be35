// Byte-string helpers shared by the reader and the writer: cutting UTF-8 text
// to a byte limit without splitting a character, ASCII case folding (variable
// names are compared without regard to case) and blank trimming (string
// values are stored blank-padded to their variable's width).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvana::sav {

class SavText {
 public:
  // The longest prefix of text that has at most maxBytes bytes and does not
  // end inside a UTF-8 sequence. Text that is not UTF-8 is cut at maxBytes.
  static std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes);

  // ASCII letters compared without regard to case; other bytes exactly.
  static bool equalsIgnoreCase(std::string_view a, std::string_view b);

  // ASCII letters upper-cased; other bytes unchanged.
  static std::string upperCase(std::string_view text);

  // text without its trailing blanks (' ').
  static std::string_view trimTrailingBlanks(std::string_view text);

  // A C string as a view; a null pointer is the empty string.
  static std::string_view view(const char* text);

  // Copies text into a buffer of capacity bytes (capacity >= 1), cut with
  // utf8Prefix to capacity - 1 bytes, and NUL-terminates it.
  static void copyToBuffer(std::string_view text, char* buffer, std::size_t capacity);
};

}  // namespace korvana::sav
