#include "output/OutputGraphics.h"

#include "output/AutomationCallChecks.h"

namespace korvana::OutputGraphics {

std::int32_t writeGraphic(Spsswin_tlb::ISpssOutputDoc* document, const std::string& label, const std::string& svg) {
  std::int32_t index = -1;
  ASSERT_INTF(document);
  if (!document) return index;
  if (automation::failed(HRCHECK(document->InsertGraphic(label, svg, &index)))) return -1;
  return index;
}

}  // namespace korvana::OutputGraphics
