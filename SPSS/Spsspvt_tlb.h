// Pivot tables of the output document: the table, its dimensions, its label
// arrays and its data cells. Conventions: AutomationCore.h.
//
// Coordinates are 0-based (row, column). A table of R rows and C columns has:
// - a row-label array of R x 2 labels: column 0 holds the outer labels (a
//   label spans down to the next one set), column 1 the row labels;
// - a column-label array of 2 x C labels: row 0 holds the outer labels (a
//   label spans right to the next one set), row 1 the column labels;
// - R x C data cells.
// A coordinate outside its array fails with DISP_E_BADINDEX. Every operation
// fails with OUTDOC_E_NOTACTIVE once the table's item is deactivated.
#pragma once

#include <cstdint>
#include <string>

#include "SPSS/AutomationCore.h"

namespace Spsspvt_tlb {

using korvana::automation::HRESULT;
using korvana::automation::IAutomationObject;

class ISpssPivotMgr;
class ISpssDimension;
class ISpssLabels;
class ISpssDataCells;

/// Horizontal alignment codes of labels and data cells.
enum SpssAlignment : std::int32_t { alignLeft = 0, alignRight = 1, alignCenter = 2 };
/// Label text style bits.
enum SpssTextStyle : std::int32_t { styleRegular = 0, styleItalic = 1, styleBold = 2, styleUnderline = 4 };

class ISpssPivotTable : public IAutomationObject {
 public:
  virtual HRESULT PivotManager(ISpssPivotMgr** retval) = 0;
  virtual HRESULT DataCellArray(ISpssDataCells** retval) = 0;
  virtual HRESULT RowLabelArray(ISpssLabels** retval) = 0;
  virtual HRESULT ColumnLabelArray(ISpssLabels** retval) = 0;
  /// 0 while the table is being filled, 1 when done (recorded only).
  virtual HRESULT put_UpdateScreen(std::int32_t update) = 0;
  /// The title shown above the table.
  virtual HRESULT put_TitleText(const std::string& text) = 0;
  /// A note shown below the table.
  virtual HRESULT put_Caption(const std::string& text) = 0;
  /// Adds a footnote to the label last selected with ISpssLabels::SelectLabelAt
  /// (OUTDOC_E_NOLABELSELECTED when none is). Footnotes are marked a, b, c, ...
  /// in the order they are added.
  virtual HRESULT put_FootnoteOnSelectedLabel(const std::string& text) = 0;
  /// Width of every data-cell column, in pixels.
  virtual HRESULT put_DataCellWidth(std::int32_t width) = 0;
  /// Sizes the columns to their contents: forgets the data-cell and label
  /// widths set so far.
  virtual HRESULT Autofit() = 0;
};

class ISpssPivotMgr : public IAutomationObject {
 public:
  /// The table's only column and row dimensions have index 0.
  virtual HRESULT get_ColumnDimension(std::int32_t index, ISpssDimension** retval) = 0;
  virtual HRESULT get_RowDimension(std::int32_t index, ISpssDimension** retval) = 0;
};

class ISpssDimension : public IAutomationObject {
 public:
  /// 0 hides the dimension's labels, 1 shows them (the default).
  virtual HRESULT put_ShowLabels(std::int32_t show) = 0;
};

class ISpssLabels : public IAutomationObject {
 public:
  virtual HRESULT put_ValueAt(std::int32_t row, std::int32_t column, const std::string& text) = 0;
  /// An SpssAlignment code.
  virtual HRESULT put_TextAlignmentAt(std::int32_t row, std::int32_t column, std::int32_t alignment) = 0;
  /// SpssTextStyle bits.
  virtual HRESULT put_TextStyleAt(std::int32_t row, std::int32_t column, std::int32_t style) = 0;
  /// Width of the label's column, in pixels.
  virtual HRESULT put_WidthAt(std::int32_t row, std::int32_t column, std::int32_t width) = 0;
  /// Makes this label the table's selected label.
  virtual HRESULT SelectLabelAt(std::int32_t row, std::int32_t column) = 0;
};

class ISpssDataCells : public IAutomationObject {
 public:
  /// The cell's value, always as text; a text that reads as a number is shown
  /// with the cell's decimals or number format.
  virtual HRESULT put_ValueAt(std::int32_t row, std::int32_t column, const std::string& value) = 0;
  /// An SpssAlignment code.
  virtual HRESULT put_HAlignAt(std::int32_t row, std::int32_t column, std::int32_t alignment) = 0;
  /// A number format such as "#.##E+##" (scientific, two decimals) or "#.###".
  virtual HRESULT put_NumericFormatAt(std::int32_t row, std::int32_t column, const std::string& format) = 0;
  /// Digits after the decimal separator (0 to 16).
  virtual HRESULT put_HDecimalDigitsAt(std::int32_t row, std::int32_t column, std::int32_t decimals) = 0;
  /// A colour value 0x00BBGGRR (0xFF0000 is blue).
  virtual HRESULT put_TextColorAt(std::int32_t row, std::int32_t column, std::int32_t color) = 0;
  /// Text size in points (1 to 96).
  virtual HRESULT put_TextSizeAt(std::int32_t row, std::int32_t column, std::int32_t points) = 0;
  /// Width of one data-cell column, in pixels.
  virtual HRESULT put_ColumnWidthAt(std::int32_t column, std::int32_t width) = 0;
};

}  // namespace Spsspvt_tlb
