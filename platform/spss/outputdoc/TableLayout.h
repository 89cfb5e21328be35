// Which label rows and columns of a pivot table are shown, and how far each
// outer label spans. Shared by the HTML and the text renderers.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/spss/outputdoc/PivotTableModel.h"

namespace korvana::spss {

struct TableLayout {
  bool rowOuter = false;     // column 0 of the row labels is shown
  bool rowInner = false;     // column 1 of the row labels is shown
  bool columnOuter = false;  // row 0 of the column labels is shown
  bool columnInner = false;  // row 1 of the column labels is shown
  /// Per data row: how many rows the outer label starting there spans; 0 for
  /// a row covered by an outer label above it.
  std::vector<std::int32_t> rowOuterSpan;
  /// Per data column, the same for the outer column labels.
  std::vector<std::int32_t> columnOuterSpan;

  std::int32_t labelColumns() const { return (rowOuter ? 1 : 0) + (rowInner ? 1 : 0); }
  std::int32_t headerRows() const { return (columnOuter ? 1 : 0) + (columnInner ? 1 : 0); }

  /// A dimension's labels are shown when its flag is on and at least one of
  /// them was set; an outer label spans to the next one set.
  static TableLayout of(const PivotTableModel& table);
};

}  // namespace korvana::spss
