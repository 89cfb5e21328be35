#include "platform/spss/DocumentCollection.h"

#include <stdexcept>

namespace korvana::spss {

using namespace automation;

AutomationPtr<DocumentCollection> DocumentCollection::create(SharedPackageSession session) {
  return AutomationPtr<DocumentCollection>::adopt(new DocumentCollection(std::move(session)));
}

HRESULT DocumentCollection::get_DataDocCount(std::int32_t* retval) {
  if (const HRESULT entered = session_->enter("get_DataDocCount"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  *retval = static_cast<std::int32_t>(documents_.size());
  return S_OK;
}

HRESULT DocumentCollection::GetDataDoc(std::int32_t index, Spsswin_tlb::ISpssDataDoc** retval) {
  if (retval) *retval = nullptr;
  if (const HRESULT entered = session_->enter("GetDataDoc"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  if (index < 0 || static_cast<std::size_t>(index) >= documents_.size()) return DISP_E_BADINDEX;
  DataDocument* document = documents_[static_cast<std::size_t>(index)].get();
  document->AddRef();
  *retval = document;
  return S_OK;
}

std::size_t DocumentCollection::add(AutomationPtr<DataDocument> document) {
  if (!document) throw std::invalid_argument("no data document to add");
  documents_.push_back(std::move(document));
  return documents_.size() - 1;
}

void DocumentCollection::activate(std::size_t index) {
  if (index >= documents_.size()) throw std::out_of_range("no data document at that index");
  AutomationPtr<DataDocument> chosen = documents_[index];
  documents_.erase(documents_.begin() + static_cast<std::ptrdiff_t>(index));
  documents_.insert(documents_.begin(), std::move(chosen));
}

void DocumentCollection::close(std::size_t index) {
  if (index >= documents_.size()) throw std::out_of_range("no data document at that index");
  documents_.erase(documents_.begin() + static_cast<std::ptrdiff_t>(index));
}

void DocumentCollection::replace(std::size_t index, AutomationPtr<DataDocument> document) {
  if (!document) throw std::invalid_argument("no data document to put in");
  if (index >= documents_.size()) throw std::out_of_range("no data document at that index");
  documents_[index] = std::move(document);
}

DataDocument* DocumentCollection::at(std::size_t index) const {
  return index < documents_.size() ? documents_[index].get() : nullptr;
}

}  // namespace korvana::spss
