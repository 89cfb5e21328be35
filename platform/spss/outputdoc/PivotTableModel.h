// The content of one pivot table: title, label arrays, data cells, footnotes,
// caption, dimension flags and widths. Coordinates are checked by the callers
// (the automation handles); this class only holds and changes the values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvana::spss {

struct PivotLabel {
  std::string text;
  bool set = false;                      // a value was given (an outer label spans until the next set one)
  std::int32_t alignment = -1;           // -1: not given; else an SpssAlignment code
  std::int32_t style = 0;                // SpssTextStyle bits
  std::optional<std::int32_t> width;     // pixels
  std::vector<std::size_t> footnotes;    // indices into PivotTableModel::footnotes
};

struct PivotCell {
  std::string value;
  bool set = false;
  std::int32_t alignment = -1;           // -1: not given
  std::optional<std::int32_t> decimals;  // the last of decimals and number format given wins
  std::string numberFormat;
  std::optional<std::int32_t> color;     // 0x00BBGGRR
  std::optional<std::int32_t> points;
};

enum class LabelArray { rows, columns };

struct LabelPosition {
  LabelArray array;
  std::int32_t row;
  std::int32_t column;
};

class PivotTableModel {
 public:
  PivotTableModel(std::int32_t rows, std::int32_t columns);

  std::int32_t rows() const { return rows_; }
  std::int32_t columns() const { return columns_; }

  /// Row labels are rows x 2, column labels 2 x columns.
  bool labelInRange(LabelArray array, std::int32_t row, std::int32_t column) const;
  bool cellInRange(std::int32_t row, std::int32_t column) const;

  PivotLabel& label(LabelArray array, std::int32_t row, std::int32_t column);
  const PivotLabel& label(LabelArray array, std::int32_t row, std::int32_t column) const;
  PivotCell& cell(std::int32_t row, std::int32_t column);
  const PivotCell& cell(std::int32_t row, std::int32_t column) const;

  /// Adds a footnote to the selected label; false when no label is selected.
  bool addFootnoteToSelectedLabel(const std::string& text);
  /// Marker of the n-th footnote (0-based): a, b, ..., z, aa, ab, ...
  static std::string footnoteMarker(std::size_t index);

  /// Forgets every data-cell and label width.
  void autofit();

  std::string title;
  std::string caption;
  std::vector<std::string> footnotes;
  std::optional<LabelPosition> selectedLabel;
  bool showRowLabels = true;
  bool showColumnLabels = true;
  std::int32_t updateScreen = 1;
  bool autofitted = false;
  std::optional<std::int32_t> dataCellWidth;
  std::vector<std::optional<std::int32_t>> columnWidths;

 private:
  std::int32_t rows_;
  std::int32_t columns_;
  std::vector<PivotLabel> rowLabels_;     // rows x 2
  std::vector<PivotLabel> columnLabels_;  // 2 x columns
  std::vector<PivotCell> cells_;          // rows x columns
};

}  // namespace korvana::spss
