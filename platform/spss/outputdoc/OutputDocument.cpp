#include "platform/spss/outputdoc/OutputDocument.h"

#include <exception>
#include <utility>

#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/ItemCollection.h"
#include "platform/spss/outputdoc/SvgElement.h"

namespace korvana::spss {

using namespace korvana::automation;

namespace {

// The outline label of a log item: the command's first word.
std::string commandName(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "Log";
  std::size_t end = text.find_first_of(" \t\r\n./", begin);
  std::string word = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  return word.empty() ? "Log" : word;
}

}  // namespace

AutomationPtr<OutputDocument> OutputDocument::create() { return AutomationPtr<OutputDocument>::adopt(new OutputDocument); }

OutputDocument::OutputDocument() : model_(std::make_unique<DocumentModel>()) {}
OutputDocument::~OutputDocument() = default;

std::uint32_t OutputDocument::AddRef() { return ++references_; }

std::uint32_t OutputDocument::Release() {
  const std::uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT OutputDocument::get_Items(Spsswin_tlb::ISpssItems** retval) {
  if (!retval) return E_POINTER;
  *retval = new ItemCollection(AutomationPtr<OutputDocument>::share(this));
  return S_OK;
}

HRESULT OutputDocument::InsertHeading(const std::string& label, std::int32_t* retval) {
  if (!retval) return E_POINTER;
  OutputItem item;
  item.kind = ItemKind::heading;
  item.label = label;
  *retval = static_cast<std::int32_t>(model_->insert(std::move(item)));
  return S_OK;
}

HRESULT OutputDocument::InsertTitle(const std::string& label, const std::string& titleText, std::int32_t* retval) {
  if (!retval) return E_POINTER;
  OutputItem item;
  item.kind = ItemKind::title;
  item.label = label;
  item.text = titleText;
  *retval = static_cast<std::int32_t>(model_->insert(std::move(item)));
  return S_OK;
}

HRESULT OutputDocument::InsertTable(const std::string& label, std::int32_t rows, std::int32_t columns,
                                    std::int32_t layers, std::int32_t* retval) {
  if (!retval) return E_POINTER;
  if (rows < 0 || columns < 0 || layers != 1) return E_INVALIDARG;
  OutputItem item;
  item.kind = ItemKind::table;
  item.label = label;
  item.table = std::make_unique<PivotTableModel>(rows, columns);
  item.table->title = label;
  *retval = static_cast<std::int32_t>(model_->insert(std::move(item)));
  return S_OK;
}

HRESULT OutputDocument::InsertGraphic(const std::string& label, const std::string& svg, std::int32_t* retval) {
  if (!retval) return E_POINTER;
  if (!isSvgElement(svg)) return E_INVALIDARG;
  OutputItem item;
  item.kind = ItemKind::graphic;
  item.label = label;
  item.svg = svg;
  *retval = static_cast<std::int32_t>(model_->insert(std::move(item)));
  return S_OK;
}

HRESULT OutputDocument::put_Visible(std::int32_t visible) {
  model_->visible = visible != 0;
  return S_OK;
}

HRESULT OutputDocument::Promote() {
  switch (model_->promoteSelected()) {
    case DocumentModel::PromoteResult::promoted: return S_OK;
    case DocumentModel::PromoteResult::atTop: return S_FALSE;
    case DocumentModel::PromoteResult::noSelection: return OUTDOC_E_NOSELECTION;
  }
  return E_UNEXPECTED;
}

void OutputDocument::appendErrorText(const std::string& text) { model_->appendPackageItem(ItemKind::error, "Error", text); }

void OutputDocument::appendLogText(const std::string& text) {
  model_->appendPackageItem(ItemKind::log, commandName(text), text);
}

void OutputDocument::appendWarningText(const std::string& text) {
  model_->appendPackageItem(ItemKind::log, "Warning", text);
}

void OutputDocument::setSaveLocation(const std::filesystem::path& stem) { saveStem_ = stem; }

void OutputDocument::save() const {
  if (saveStem_.empty()) return;
  saveDocument(*model_, DocumentFiles::fromStem(saveStem_));
}

bool OutputDocument::saveAfterError(std::string* reason) const noexcept {
  try {
    save();
    return true;
  } catch (const std::exception& e) {
    if (reason) {
      try {
        *reason = e.what();
      } catch (...) {
      }
    }
  } catch (...) {
    if (reason) {
      try {
        *reason = "unknown failure";
      } catch (...) {
      }
    }
  }
  return false;
}

}  // namespace korvana::spss
