// The outline of an output document: its items in order, the current and the
// selected item, and the rules that give a new item its level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "platform/spss/outputdoc/OutputItem.h"

namespace korvana::spss {

class DocumentModel {
 public:
  /// Label of the heading every document starts with.
  static constexpr const char* rootLabel = "Output";

  /// A document holding only its root heading (level 1), which is current.
  DocumentModel();

  std::size_t count() const { return items_.size(); }
  OutputItem& item(std::size_t index) { return items_.at(index); }
  const OutputItem& item(std::size_t index) const { return items_.at(index); }

  /// Appends an item after all existing ones. Its level follows from the
  /// current item (or the last item when none is current): one below it when
  /// that is a heading, the same level otherwise. The new item becomes the
  /// current one. Returns its index.
  std::size_t insert(OutputItem item);

  /// Appends one of the package's own items (log or error text) at level 2,
  /// directly under the root heading, and makes it current.
  std::size_t appendPackageItem(ItemKind kind, const std::string& label, const std::string& text);

  std::optional<std::size_t> current() const { return current_; }
  /// Makes the item current (true) or, when it is the current one, leaves the
  /// document without a current item (false).
  void setCurrent(std::size_t index, bool current);

  std::optional<std::size_t> selected() const { return selected_; }
  /// Selects the item (one item is selected at a time) or clears its selection.
  void setSelected(std::size_t index, bool selected);

  enum class PromoteResult { promoted, atTop, noSelection };
  /// Moves the selected item, together with the items below it in the outline
  /// (those that follow it at deeper levels), one level up.
  PromoteResult promoteSelected();

  bool visible = true;

 private:
  std::deque<OutputItem> items_;
  std::optional<std::size_t> current_;
  std::optional<std::size_t> selected_;
};

}  // namespace korvana::spss
