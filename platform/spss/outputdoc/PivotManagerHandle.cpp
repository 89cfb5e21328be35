#include "platform/spss/outputdoc/PivotManagerHandle.h"

#include "platform/spss/outputdoc/DimensionHandle.h"

namespace korvana::spss {

using namespace korvana::automation;

HRESULT PivotManagerHandle::get_ColumnDimension(std::int32_t index, Spsspvt_tlb::ISpssDimension** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  if (!activation_.table()) return OUTDOC_E_NOTACTIVE;
  if (index != 0) return DISP_E_BADINDEX;
  *retval = new DimensionHandle(activation_, LabelArray::columns);
  return S_OK;
}

HRESULT PivotManagerHandle::get_RowDimension(std::int32_t index, Spsspvt_tlb::ISpssDimension** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  if (!activation_.table()) return OUTDOC_E_NOTACTIVE;
  if (index != 0) return DISP_E_BADINDEX;
  *retval = new DimensionHandle(activation_, LabelArray::rows);
  return S_OK;
}

}  // namespace korvana::spss
