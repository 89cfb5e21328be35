// The link from an activated editing interface back to its item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "SPSS/AutomationCore.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::spss {

class ItemActivation {
 public:
  ItemActivation(korvana::automation::AutomationPtr<OutputDocument> document, std::size_t index)
      : document_(std::move(document)), index_(index), activation_(document_->model().item(index).activation) {}

  /// The item while this activation lasts; null once the item was deactivated.
  OutputItem* item() const {
    OutputItem& it = document_->model().item(index_);
    return it.active && it.activation == activation_ ? &it : nullptr;
  }
  /// The item's table while this activation lasts.
  PivotTableModel* table() const {
    OutputItem* it = item();
    return it ? it->table.get() : nullptr;
  }

 private:
  korvana::automation::AutomationPtr<OutputDocument> document_;
  std::size_t index_;
  std::uint64_t activation_;
};

}  // namespace korvana::spss
