#include "platform/spss/outputdoc/ItemHandle.h"

#include "SPSS/Spsspvt_tlb.h"
#include "SPSS/Spssrtf_tlb.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/PivotTableHandle.h"
#include "platform/spss/outputdoc/RichTextHandle.h"

namespace korvana::spss {

using namespace korvana::automation;

OutputItem& ItemHandle::item() const { return document_->model().item(index_); }

HRESULT ItemHandle::get_Level(std::int32_t* retval) {
  if (!retval) return E_POINTER;
  *retval = item().level;
  return S_OK;
}

HRESULT ItemHandle::ActivateTable(Spsspvt_tlb::ISpssPivotTable** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  OutputItem& it = item();
  if (it.kind != ItemKind::table || !it.table) return E_NOINTERFACE;
  it.active = true;
  *retval = new PivotTableHandle(ItemActivation(document_, index_));
  return S_OK;
}

HRESULT ItemHandle::ActivateText(Spssrtf_tlb::ISpssrtf** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  OutputItem& it = item();
  if (!it.canHoldText()) return E_NOINTERFACE;
  it.active = true;
  *retval = new RichTextHandle(ItemActivation(document_, index_));
  return S_OK;
}

HRESULT ItemHandle::Deactivate() {
  OutputItem& it = item();
  if (it.active) {
    it.active = false;
    ++it.activation;
  }
  return S_OK;
}

HRESULT ItemHandle::put_Selected(std::int32_t selected) {
  document_->model().setSelected(index_, selected != 0);
  return S_OK;
}

HRESULT ItemHandle::put_Current(std::int32_t current) {
  document_->model().setCurrent(index_, current != 0);
  return S_OK;
}

HRESULT ItemHandle::put_Visible(std::int32_t visible) {
  item().visible = visible != 0;
  return S_OK;
}

HRESULT ItemHandle::put_Height(std::int32_t height) {
  if (height < 0) return E_INVALIDARG;
  item().height = height;
  return S_OK;
}

HRESULT ItemHandle::put_Width(std::int32_t width) {
  if (width < 0) return E_INVALIDARG;
  item().width = width;
  return S_OK;
}

}  // namespace korvana::spss
