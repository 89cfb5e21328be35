// The row or the column dimension of an activated table.
#pragma once

#include "SPSS/Spsspvt_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/ItemActivation.h"

namespace korvana::spss {

class DimensionHandle final : public CountedObject<Spsspvt_tlb::ISpssDimension> {
 public:
  DimensionHandle(ItemActivation activation, LabelArray dimension)
      : activation_(std::move(activation)), dimension_(dimension) {}

  korvana::automation::HRESULT put_ShowLabels(std::int32_t show) override;

 private:
  ItemActivation activation_;
  LabelArray dimension_;
};

}  // namespace korvana::spss
