#include "platform/spss/outputdoc/PivotTableModel.h"

#include <cstddef>

namespace korvana::spss {

PivotTableModel::PivotTableModel(std::int32_t rows, std::int32_t columns)
    : columnWidths(static_cast<std::size_t>(columns)),
      rows_(rows),
      columns_(columns),
      rowLabels_(static_cast<std::size_t>(rows) * 2),
      columnLabels_(static_cast<std::size_t>(columns) * 2),
      cells_(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns)) {}

bool PivotTableModel::labelInRange(LabelArray array, std::int32_t row, std::int32_t column) const {
  if (row < 0 || column < 0) return false;
  if (array == LabelArray::rows) return row < rows_ && column < 2;
  return row < 2 && column < columns_;
}

bool PivotTableModel::cellInRange(std::int32_t row, std::int32_t column) const {
  return row >= 0 && column >= 0 && row < rows_ && column < columns_;
}

PivotLabel& PivotTableModel::label(LabelArray array, std::int32_t row, std::int32_t column) {
  if (array == LabelArray::rows) return rowLabels_.at(static_cast<std::size_t>(row) * 2 + static_cast<std::size_t>(column));
  return columnLabels_.at(static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                          static_cast<std::size_t>(column));
}

const PivotLabel& PivotTableModel::label(LabelArray array, std::int32_t row, std::int32_t column) const {
  return const_cast<PivotTableModel*>(this)->label(array, row, column);
}

PivotCell& PivotTableModel::cell(std::int32_t row, std::int32_t column) {
  return cells_.at(static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                   static_cast<std::size_t>(column));
}

const PivotCell& PivotTableModel::cell(std::int32_t row, std::int32_t column) const {
  return const_cast<PivotTableModel*>(this)->cell(row, column);
}

bool PivotTableModel::addFootnoteToSelectedLabel(const std::string& text) {
  if (!selectedLabel) return false;
  footnotes.push_back(text);
  label(selectedLabel->array, selectedLabel->row, selectedLabel->column).footnotes.push_back(footnotes.size() - 1);
  return true;
}

std::string PivotTableModel::footnoteMarker(std::size_t index) {
  std::string marker;
  std::size_t n = index + 1;
  while (n > 0) {
    --n;
    marker.insert(marker.begin(), static_cast<char>('a' + n % 26));
    n /= 26;
  }
  return marker;
}

void PivotTableModel::autofit() {
  autofitted = true;
  dataCellWidth.reset();
  for (auto& width : columnWidths) width.reset();
  for (auto& l : rowLabels_) l.width.reset();
  for (auto& l : columnLabels_) l.width.reset();
}

}  // namespace korvana::spss
