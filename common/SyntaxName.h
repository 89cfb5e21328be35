// Names and texts that go into command syntax.
//
// A variable name is one word of the syntax: 1 to 64 bytes of well-formed
// UTF-8; it starts with a letter (ASCII, or any character Unicode counts as
// starting an identifier) or '@'; the other characters are letters, digits,
// combining marks (Unicode's identifier characters) or one of . _ $ # @; it
// does not end in '.' and is not a reserved word (ALL AND BY EQ GE GT LE LT
// NE NOT OR TO WITH, in any case). Such a name holds no blank, separator,
// quote, line break or command terminator, so it cannot change the command
// it is written into.
//
// A text (a file name) is written between apostrophes, each apostrophe inside
// doubled. A text with a line break or another control character cannot be
// written at all: a command ends at a line that ends in a full stop.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvana {

inline constexpr std::size_t kMaxSyntaxNameLength = 64;

bool isReservedSyntaxWord(std::string_view name);
bool isSyntaxName(std::string_view name);

/// A valid name made from any text, as statistics packages do on import:
/// the characters a name may hold are kept, every other one becomes '_';
/// '@' goes before a first character that cannot start a name, a final '.'
/// becomes '_', '_' follows a reserved word, and the name is cut to 64 bytes
/// (at a character's end). The text itself when it is already valid.
std::string syntaxNameFrom(std::string_view text);

/// The text between apostrophes with inner apostrophes doubled. Throws
/// EKorvanaError naming `what` (such as "the matrix file name") when the
/// text holds a control character or is not well-formed UTF-8.
std::string quotedSyntaxText(std::string_view text, const std::string& what);

}  // namespace korvana
