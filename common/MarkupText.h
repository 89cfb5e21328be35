// Text placed in HTML or SVG markup, as a text node or a quoted attribute.
#pragma once

#include <string>
#include <string_view>

namespace korvana {

/// `text` with the five markup characters (& < > " ') as character
/// references; every other byte as it is.
std::string escapeMarkup(std::string_view text);

}  // namespace korvana
