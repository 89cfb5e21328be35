#include "platform/spss/outputdoc/ItemCollection.h"

#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/ItemHandle.h"

namespace korvana::spss {

using namespace korvana::automation;

HRESULT ItemCollection::get_Count(std::int32_t* retval) {
  if (!retval) return E_POINTER;
  *retval = static_cast<std::int32_t>(document_->model().count());
  return S_OK;
}

HRESULT ItemCollection::GetItem(std::int32_t index, Spsswin_tlb::ISpssItem** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  if (index < 0 || static_cast<std::size_t>(index) >= document_->model().count()) return DISP_E_BADINDEX;
  *retval = new ItemHandle(document_, static_cast<std::size_t>(index));
  return S_OK;
}

}  // namespace korvana::spss
