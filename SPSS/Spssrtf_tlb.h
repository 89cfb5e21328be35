// The rich-text content of a title or text item. Conventions: AutomationCore.h.
#pragma once

#include <string>

#include "SPSS/AutomationCore.h"

namespace Spssrtf_tlb {

using korvana::automation::HRESULT;
using korvana::automation::IAutomationObject;

class ISpssrtf : public IAutomationObject {
 public:
  /// Replaces the item's content with one RTF document ("{\rtf1 ... }", text
  /// in code page 1252). Content that cannot be read is kept as it is and
  /// shown as raw text, and the call returns OUTDOC_E_BADRTF.
  virtual HRESULT put_Content(const std::string& rtf) = 0;
};

}  // namespace Spssrtf_tlb
