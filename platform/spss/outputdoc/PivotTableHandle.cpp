#include "platform/spss/outputdoc/PivotTableHandle.h"

#include "platform/spss/outputdoc/DataCellArrayHandle.h"
#include "platform/spss/outputdoc/LabelArrayHandle.h"
#include "platform/spss/outputdoc/PivotManagerHandle.h"

namespace korvana::spss {

using namespace korvana::automation;

HRESULT PivotTableHandle::PivotManager(Spsspvt_tlb::ISpssPivotMgr** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  if (!activation_.table()) return OUTDOC_E_NOTACTIVE;
  *retval = new PivotManagerHandle(activation_);
  return S_OK;
}

HRESULT PivotTableHandle::DataCellArray(Spsspvt_tlb::ISpssDataCells** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  if (!activation_.table()) return OUTDOC_E_NOTACTIVE;
  *retval = new DataCellArrayHandle(activation_);
  return S_OK;
}

HRESULT PivotTableHandle::RowLabelArray(Spsspvt_tlb::ISpssLabels** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  if (!activation_.table()) return OUTDOC_E_NOTACTIVE;
  *retval = new LabelArrayHandle(activation_, LabelArray::rows);
  return S_OK;
}

HRESULT PivotTableHandle::ColumnLabelArray(Spsspvt_tlb::ISpssLabels** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  if (!activation_.table()) return OUTDOC_E_NOTACTIVE;
  *retval = new LabelArrayHandle(activation_, LabelArray::columns);
  return S_OK;
}

HRESULT PivotTableHandle::put_UpdateScreen(std::int32_t update) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  table->updateScreen = update;
  return S_OK;
}

HRESULT PivotTableHandle::put_TitleText(const std::string& text) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  table->title = text;
  return S_OK;
}

HRESULT PivotTableHandle::put_Caption(const std::string& text) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  table->caption = text;
  return S_OK;
}

HRESULT PivotTableHandle::put_FootnoteOnSelectedLabel(const std::string& text) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  return table->addFootnoteToSelectedLabel(text) ? S_OK : OUTDOC_E_NOLABELSELECTED;
}

HRESULT PivotTableHandle::put_DataCellWidth(std::int32_t width) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  if (width < 0) return E_INVALIDARG;
  table->dataCellWidth = width;
  table->autofitted = false;
  return S_OK;
}

HRESULT PivotTableHandle::Autofit() {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  table->autofit();
  return S_OK;
}

}  // namespace korvana::spss
