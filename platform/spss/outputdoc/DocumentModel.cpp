#include "platform/spss/outputdoc/DocumentModel.h"

#include <utility>

namespace korvana::spss {

DocumentModel::DocumentModel() {
  OutputItem root;
  root.kind = ItemKind::heading;
  root.label = rootLabel;
  root.level = 1;
  items_.push_back(std::move(root));
  current_ = 0;
}

std::size_t DocumentModel::insert(OutputItem item) {
  std::int32_t level = 1;
  if (!items_.empty()) {
    const OutputItem& anchor = items_[current_.value_or(items_.size() - 1)];
    level = anchor.kind == ItemKind::heading ? anchor.level + 1 : anchor.level;
  }
  item.level = level;
  items_.push_back(std::move(item));
  current_ = items_.size() - 1;
  return items_.size() - 1;
}

std::size_t DocumentModel::appendPackageItem(ItemKind kind, const std::string& label, const std::string& text) {
  OutputItem item;
  item.kind = kind;
  item.label = label;
  item.text = text;
  item.level = 2;
  items_.push_back(std::move(item));
  current_ = items_.size() - 1;
  return items_.size() - 1;
}

void DocumentModel::setCurrent(std::size_t index, bool current) {
  if (current)
    current_ = index;
  else if (current_ == index)
    current_.reset();
}

void DocumentModel::setSelected(std::size_t index, bool selected) {
  if (selected)
    selected_ = index;
  else if (selected_ == index)
    selected_.reset();
}

DocumentModel::PromoteResult DocumentModel::promoteSelected() {
  if (!selected_) return PromoteResult::noSelection;
  OutputItem& item = items_[*selected_];
  if (item.level <= 1) return PromoteResult::atTop;
  const std::int32_t oldLevel = item.level;
  item.level -= 1;
  for (std::size_t i = *selected_ + 1; i < items_.size() && items_[i].level > oldLevel; ++i) items_[i].level -= 1;
  return PromoteResult::promoted;
}

}  // namespace korvana::spss
