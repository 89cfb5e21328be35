// An activated pivot table.
#pragma once

#include "SPSS/Spsspvt_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/outputdoc/ItemActivation.h"

namespace korvana::spss {

class PivotTableHandle final : public CountedObject<Spsspvt_tlb::ISpssPivotTable> {
 public:
  explicit PivotTableHandle(ItemActivation activation) : activation_(std::move(activation)) {}

  korvana::automation::HRESULT PivotManager(Spsspvt_tlb::ISpssPivotMgr** retval) override;
  korvana::automation::HRESULT DataCellArray(Spsspvt_tlb::ISpssDataCells** retval) override;
  korvana::automation::HRESULT RowLabelArray(Spsspvt_tlb::ISpssLabels** retval) override;
  korvana::automation::HRESULT ColumnLabelArray(Spsspvt_tlb::ISpssLabels** retval) override;
  korvana::automation::HRESULT put_UpdateScreen(std::int32_t update) override;
  korvana::automation::HRESULT put_TitleText(const std::string& text) override;
  korvana::automation::HRESULT put_Caption(const std::string& text) override;
  korvana::automation::HRESULT put_FootnoteOnSelectedLabel(const std::string& text) override;
  korvana::automation::HRESULT put_DataCellWidth(std::int32_t width) override;
  korvana::automation::HRESULT Autofit() override;

 private:
  ItemActivation activation_;
};

}  // namespace korvana::spss
