// One output item as the automation interface hands it out.
#pragma once

#include <cstddef>

#include "SPSS/Spsswin_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::spss {

struct OutputItem;

class ItemHandle final : public CountedObject<Spsswin_tlb::ISpssItem> {
 public:
  ItemHandle(korvana::automation::AutomationPtr<OutputDocument> document, std::size_t index)
      : document_(std::move(document)), index_(index) {}

  korvana::automation::HRESULT get_Level(std::int32_t* retval) override;
  korvana::automation::HRESULT ActivateTable(Spsspvt_tlb::ISpssPivotTable** retval) override;
  korvana::automation::HRESULT ActivateText(Spssrtf_tlb::ISpssrtf** retval) override;
  korvana::automation::HRESULT Deactivate() override;
  korvana::automation::HRESULT put_Selected(std::int32_t selected) override;
  korvana::automation::HRESULT put_Current(std::int32_t current) override;
  korvana::automation::HRESULT put_Visible(std::int32_t visible) override;
  korvana::automation::HRESULT put_Height(std::int32_t height) override;
  korvana::automation::HRESULT put_Width(std::int32_t width) override;

 private:
  OutputItem& item() const;

  korvana::automation::AutomationPtr<OutputDocument> document_;
  std::size_t index_;
};

}  // namespace korvana::spss
