// The pivoting manager of an activated table: its one row and one column
// dimension.
#pragma once

#include "SPSS/Spsspvt_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/ItemActivation.h"

namespace korvana::spss {

class PivotManagerHandle final : public CountedObject<Spsspvt_tlb::ISpssPivotMgr> {
 public:
  explicit PivotManagerHandle(ItemActivation activation) : activation_(std::move(activation)) {}

  korvana::automation::HRESULT get_ColumnDimension(std::int32_t index, Spsspvt_tlb::ISpssDimension** retval) override;
  korvana::automation::HRESULT get_RowDimension(std::int32_t index, Spsspvt_tlb::ISpssDimension** retval) override;

 private:
  ItemActivation activation_;
};

}  // namespace korvana::spss
