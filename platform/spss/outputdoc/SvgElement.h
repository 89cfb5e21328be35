// The check a graphic's text passes before the output document takes it: one
// <svg> element that is well-formed XML, so that it can be placed inline in
// the HTML page without closing or swallowing the markup around it.
#pragma once

#include <string_view>

namespace korvana::spss {

/// True when the text, apart from white space before and after it, is exactly
/// one element named "svg": every tag closed in order, attribute values
/// quoted, no '<' in text or attribute values, '&' only as a character or
/// entity reference. Comments, CDATA sections and processing instructions
/// are allowed inside the element; nothing (not even a comment) outside it.
bool isSvgElement(std::string_view text);

}  // namespace korvana::spss
