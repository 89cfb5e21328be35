// Graphics written into the statistics package's output document, with the
// same checks around the automation call as every other output operation
// (see OutputFactory.h): an empty document reference prompts before it is
// used, a failed call prompts after it, and an item that could not be
// inserted is reported as index -1.
#pragma once

#include <cstdint>
#include <string>

#include "SPSS/Spsswin_tlb.h"

namespace korvana::OutputGraphics {

/// A graphic item labelled `label` showing the SVG element `svg` (for
/// example from dendrogramSvg), after every existing item; its item index.
std::int32_t writeGraphic(Spsswin_tlb::ISpssOutputDoc* document, const std::string& label, const std::string& svg);

}  // namespace korvana::OutputGraphics
