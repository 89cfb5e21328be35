// The rich-text content of an activated title or text item.
#pragma once

#include "SPSS/Spssrtf_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/ItemActivation.h"

namespace korvana::spss {

class RichTextHandle final : public CountedObject<Spssrtf_tlb::ISpssrtf> {
 public:
  explicit RichTextHandle(ItemActivation activation) : activation_(std::move(activation)) {}

  korvana::automation::HRESULT put_Content(const std::string& rtf) override;

 private:
  ItemActivation activation_;
};

}  // namespace korvana::spss
