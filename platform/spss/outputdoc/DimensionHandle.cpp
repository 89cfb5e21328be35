#include "platform/spss/outputdoc/DimensionHandle.h"

namespace korvana::spss {

using namespace korvana::automation;

HRESULT DimensionHandle::put_ShowLabels(std::int32_t show) {
  PivotTableModel* table = activation_.table();
  if (!table) return OUTDOC_E_NOTACTIVE;
  (dimension_ == LabelArray::rows ? table->showRowLabels : table->showColumnLabels) = show != 0;
  return S_OK;
}

}  // namespace korvana::spss
