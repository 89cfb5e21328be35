// One item of the output document's outline.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/spss/outputdoc/PivotTableModel.h"

namespace korvana::spss {

enum class ItemKind {
  heading,  // an outline node; its label is its text
  title,    // a title or text item: plain title text, or rich text once content is set
  table,    // a pivot table
  log,      // the package's echo of a command it ran
  error,    // the package's report of a command that failed
  graphic,  // a drawing given as one SVG element
};

std::string_view itemKindName(ItemKind kind);

struct OutputItem {
  ItemKind kind = ItemKind::heading;
  std::string label;        // the outline label
  std::int32_t level = 1;   // 1 is the top of the outline
  bool visible = true;
  std::optional<std::int32_t> height;  // pixels
  std::optional<std::int32_t> width;

  /// Plain text of a title, log or error item.
  std::string text;
  /// Rich-text content set through ActivateText (replaces the plain text).
  std::optional<std::string> richText;
  /// False when the rich text could not be read; it is then shown as raw text.
  bool richTextReadable = true;

  std::unique_ptr<PivotTableModel> table;

  /// The SVG element of a graphic, as it was inserted.
  std::string svg;

  /// Editing state: handles obtained by activating the item carry the
  /// activation number they were made under; Deactivate ends the activation
  /// and makes every one of them stale.
  bool active = false;
  std::uint64_t activation = 0;

  bool canHoldText() const { return kind == ItemKind::title || kind == ItemKind::log || kind == ItemKind::error; }
};

}  // namespace korvana::spss
