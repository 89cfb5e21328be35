#include "platform/spss/outputdoc/LabelArrayHandle.h"

namespace korvana::spss {

using namespace korvana::automation;

HRESULT LabelArrayHandle::reach(std::int32_t row, std::int32_t column, PivotLabel** label) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  if (!table->labelInRange(array_, row, column)) return DISP_E_BADINDEX;
  *label = &table->label(array_, row, column);
  return S_OK;
}

HRESULT LabelArrayHandle::put_ValueAt(std::int32_t row, std::int32_t column, const std::string& text) {
  PivotLabel* label = nullptr;
  if (HRESULT hr = reach(row, column, &label); failed(hr)) return hr;
  label->text = text;
  label->set = true;
  return S_OK;
}

HRESULT LabelArrayHandle::put_TextAlignmentAt(std::int32_t row, std::int32_t column, std::int32_t alignment) {
  PivotLabel* label = nullptr;
  if (HRESULT hr = reach(row, column, &label); failed(hr)) return hr;
  if (alignment < Spsspvt_tlb::alignLeft || alignment > Spsspvt_tlb::alignCenter) return E_INVALIDARG;
  label->alignment = alignment;
  return S_OK;
}

HRESULT LabelArrayHandle::put_TextStyleAt(std::int32_t row, std::int32_t column, std::int32_t style) {
  PivotLabel* label = nullptr;
  if (HRESULT hr = reach(row, column, &label); failed(hr)) return hr;
  constexpr std::int32_t allStyles = Spsspvt_tlb::styleItalic | Spsspvt_tlb::styleBold | Spsspvt_tlb::styleUnderline;
  if ((style & ~allStyles) != 0) return E_INVALIDARG;
  label->style = style;
  return S_OK;
}

HRESULT LabelArrayHandle::put_WidthAt(std::int32_t row, std::int32_t column, std::int32_t width) {
  PivotLabel* label = nullptr;
  if (HRESULT hr = reach(row, column, &label); failed(hr)) return hr;
  if (width < 0) return E_INVALIDARG;
  label->width = width;
  activation_.table()->autofitted = false;
  return S_OK;
}

HRESULT LabelArrayHandle::SelectLabelAt(std::int32_t row, std::int32_t column) {
  PivotLabel* label = nullptr;
  if (HRESULT hr = reach(row, column, &label); failed(hr)) return hr;
  activation_.table()->selectedLabel = LabelPosition{array_, row, column};
  return S_OK;
}

}  // namespace korvana::spss
