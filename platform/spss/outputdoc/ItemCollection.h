// The items of an output document as the automation interface lists them.
#pragma once

#include "SPSS/Spsswin_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::spss {

class ItemCollection final : public CountedObject<Spsswin_tlb::ISpssItems> {
 public:
  explicit ItemCollection(korvana::automation::AutomationPtr<OutputDocument> document)
      : document_(std::move(document)) {}

  korvana::automation::HRESULT get_Count(std::int32_t* retval) override;
  korvana::automation::HRESULT GetItem(std::int32_t index, Spsswin_tlb::ISpssItem** retval) override;

 private:
  korvana::automation::AutomationPtr<OutputDocument> document_;
};

}  // namespace korvana::spss
