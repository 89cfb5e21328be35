#include "platform/spss/outputdoc/TableLayout.h"

namespace korvana::spss {

namespace {

std::vector<std::int32_t> spans(std::int32_t count, const auto& isSet) {
  std::vector<std::int32_t> result(static_cast<std::size_t>(count), 0);
  std::int32_t start = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (i == 0 || isSet(i)) start = i;
    ++result[static_cast<std::size_t>(start)];
  }
  return result;
}

}  // namespace

TableLayout TableLayout::of(const PivotTableModel& table) {
  TableLayout layout;
  if (table.showRowLabels) {
    for (std::int32_t r = 0; r < table.rows(); ++r) {
      layout.rowOuter = layout.rowOuter || table.label(LabelArray::rows, r, 0).set;
      layout.rowInner = layout.rowInner || table.label(LabelArray::rows, r, 1).set;
    }
  }
  if (table.showColumnLabels) {
    for (std::int32_t c = 0; c < table.columns(); ++c) {
      layout.columnOuter = layout.columnOuter || table.label(LabelArray::columns, 0, c).set;
      layout.columnInner = layout.columnInner || table.label(LabelArray::columns, 1, c).set;
    }
  }
  layout.rowOuterSpan = spans(table.rows(), [&](std::int32_t r) { return table.label(LabelArray::rows, r, 0).set; });
  layout.columnOuterSpan =
      spans(table.columns(), [&](std::int32_t c) { return table.label(LabelArray::columns, 0, c).set; });
  return layout;
}

}  // namespace korvana::spss
