#include "platform/spss/outputdoc/DataCellArrayHandle.h"

#include "platform/spss/outputdoc/CellText.h"

namespace korvana::spss {

using namespace korvana::automation;

HRESULT DataCellArrayHandle::reach(std::int32_t row, std::int32_t column, PivotCell** cell) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  if (!table->cellInRange(row, column)) return DISP_E_BADINDEX;
  *cell = &table->cell(row, column);
  return S_OK;
}

HRESULT DataCellArrayHandle::put_ValueAt(std::int32_t row, std::int32_t column, const std::string& value) {
  PivotCell* cell = nullptr;
  if (HRESULT hr = reach(row, column, &cell); failed(hr)) return hr;
  cell->value = value;
  cell->set = true;
  return S_OK;
}

HRESULT DataCellArrayHandle::put_HAlignAt(std::int32_t row, std::int32_t column, std::int32_t alignment) {
  PivotCell* cell = nullptr;
  if (HRESULT hr = reach(row, column, &cell); failed(hr)) return hr;
  if (alignment < Spsspvt_tlb::alignLeft || alignment > Spsspvt_tlb::alignCenter) return E_INVALIDARG;
  cell->alignment = alignment;
  return S_OK;
}

HRESULT DataCellArrayHandle::put_NumericFormatAt(std::int32_t row, std::int32_t column, const std::string& format) {
  PivotCell* cell = nullptr;
  if (HRESULT hr = reach(row, column, &cell); failed(hr)) return hr;
  if (!NumberFormat::parse(format)) return E_INVALIDARG;
  cell->numberFormat = format;
  cell->decimals.reset();
  return S_OK;
}

HRESULT DataCellArrayHandle::put_HDecimalDigitsAt(std::int32_t row, std::int32_t column, std::int32_t decimals) {
  PivotCell* cell = nullptr;
  if (HRESULT hr = reach(row, column, &cell); failed(hr)) return hr;
  if (decimals < 0 || decimals > 16) return E_INVALIDARG;
  cell->decimals = decimals;
  cell->numberFormat.clear();
  return S_OK;
}

HRESULT DataCellArrayHandle::put_TextColorAt(std::int32_t row, std::int32_t column, std::int32_t color) {
  PivotCell* cell = nullptr;
  if (HRESULT hr = reach(row, column, &cell); failed(hr)) return hr;
  if (color < 0 || color > 0xFFFFFF) return E_INVALIDARG;
  cell->color = color;
  return S_OK;
}

HRESULT DataCellArrayHandle::put_TextSizeAt(std::int32_t row, std::int32_t column, std::int32_t points) {
  PivotCell* cell = nullptr;
  if (HRESULT hr = reach(row, column, &cell); failed(hr)) return hr;
  if (points < 1 || points > 96) return E_INVALIDARG;
  cell->points = points;
  return S_OK;
}

HRESULT DataCellArrayHandle::put_ColumnWidthAt(std::int32_t column, std::int32_t width) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  if (column < 0 || column >= table->columns()) return DISP_E_BADINDEX;
  if (width < 0) return E_INVALIDARG;
  table->columnWidths[static_cast<std::size_t>(column)] = width;
  table->autofitted = false;
  return S_OK;
}

}  // namespace korvana::spss
