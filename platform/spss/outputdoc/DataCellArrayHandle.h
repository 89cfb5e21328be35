// The data cells of an activated table.
#pragma once

#include "SPSS/Spsspvt_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/ItemActivation.h"

namespace korvana::spss {

class DataCellArrayHandle final : public CountedObject<Spsspvt_tlb::ISpssDataCells> {
 public:
  explicit DataCellArrayHandle(ItemActivation activation) : activation_(std::move(activation)) {}

  korvana::automation::HRESULT put_ValueAt(std::int32_t row, std::int32_t column, const std::string& value) override;
  korvana::automation::HRESULT put_HAlignAt(std::int32_t row, std::int32_t column, std::int32_t alignment) override;
  korvana::automation::HRESULT put_NumericFormatAt(std::int32_t row, std::int32_t column,
                                                   const std::string& format) override;
  korvana::automation::HRESULT put_HDecimalDigitsAt(std::int32_t row, std::int32_t column,
                                                    std::int32_t decimals) override;
  korvana::automation::HRESULT put_TextColorAt(std::int32_t row, std::int32_t column, std::int32_t color) override;
  korvana::automation::HRESULT put_TextSizeAt(std::int32_t row, std::int32_t column, std::int32_t points) override;
  korvana::automation::HRESULT put_ColumnWidthAt(std::int32_t column, std::int32_t width) override;

 private:
  korvana::automation::HRESULT reach(std::int32_t row, std::int32_t column, PivotCell** cell);

  ItemActivation activation_;
};

}  // namespace korvana::spss
