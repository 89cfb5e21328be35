// The row-label or the column-label array of an activated table.
#pragma once

#include "SPSS/Spsspvt_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/ItemActivation.h"

namespace korvana::spss {

class LabelArrayHandle final : public CountedObject<Spsspvt_tlb::ISpssLabels> {
 public:
  LabelArrayHandle(ItemActivation activation, LabelArray array) : activation_(std::move(activation)), array_(array) {}

  korvana::automation::HRESULT put_ValueAt(std::int32_t row, std::int32_t column, const std::string& text) override;
  korvana::automation::HRESULT put_TextAlignmentAt(std::int32_t row, std::int32_t column,
                                                   std::int32_t alignment) override;
  korvana::automation::HRESULT put_TextStyleAt(std::int32_t row, std::int32_t column, std::int32_t style) override;
  korvana::automation::HRESULT put_WidthAt(std::int32_t row, std::int32_t column, std::int32_t width) override;
  korvana::automation::HRESULT SelectLabelAt(std::int32_t row, std::int32_t column) override;

 private:
  /// The label, or the failure code when it cannot be reached.
  korvana::automation::HRESULT reach(std::int32_t row, std::int32_t column, PivotLabel** label);

  ItemActivation activation_;
  LabelArray array_;
};

}  // namespace korvana::spss
