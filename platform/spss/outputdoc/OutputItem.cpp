#include "platform/spss/outputdoc/OutputItem.h"

namespace korvana::spss {

std::string_view itemKindName(ItemKind kind) {
  switch (kind) {
    case ItemKind::heading: return "heading";
    case ItemKind::title: return "title";
    case ItemKind::table: return "table";
    case ItemKind::log: return "log";
    case ItemKind::error: return "error";
    case ItemKind::graphic: return "graphic";
  }
  return "unknown";
}

}  // namespace korvana::spss
