// Builds an output document through the automation interfaces, call by call
// as the program's output operations write it: product heading promoted to
// level 1, title, credit table, hidden notes table, a fit table with a
// footnote on its first row label, and a dendrogram text item.
#pragma once

#include <string>

#include "SPSS/Spsswin_tlb.h"

namespace korvana::spss::example {

/// The rich-text envelope of one text.
std::string rtfText(const std::string& text);

/// The dendrogram of five objects ((1,2) and ((3,(4,5))) joined last) in the
/// program's rich text, with its marker-font cell codes.
std::string fiveObjectDendrogramRtf();

/// Writes the whole example into the document; fails the current test (and
/// returns) when a call fails.
void writeExampleOutput(Spsswin_tlb::ISpssOutputDoc& document);

}  // namespace korvana::spss::example
