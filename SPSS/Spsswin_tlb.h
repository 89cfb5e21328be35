// The statistics package's application, documents, data document, output
// document and output items, as the program sees them through automation.
// Conventions (codes, out parameters, reference counts, text encodings):
// AutomationCore.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SPSS/AutomationCore.h"

namespace Spsspvt_tlb {
class ISpssPivotTable;
}
namespace Spssrtf_tlb {
class ISpssrtf;
}

namespace Spsswin_tlb {

using korvana::automation::HRESULT;
using korvana::automation::IAutomationObject;
using korvana::automation::TextArray2D;

class ISpssDocuments;
class ISpssDataDoc;
class ISpssOutputDoc;
class ISpssItems;
class ISpssItem;

/// The running package.
class ISpssApp : public IAutomationObject {
 public:
  /// The collection of open documents.
  virtual HRESULT get_Documents(ISpssDocuments** retval) = 0;
  /// The output document that receives all output.
  virtual HRESULT GetDesignatedOutputDoc(ISpssOutputDoc** retval) = 0;
  /// Runs command syntax: commands end with "." at the end of a line or at
  /// the end of the text. With bSync 1 the call returns only after every
  /// command has finished. A command that fails reports in the output
  /// document; the call itself still succeeds.
  virtual HRESULT ExecuteCommands(const std::wstring& syntax, std::int32_t bSync) = 0;
};

/// The open documents.
class ISpssDocuments : public IAutomationObject {
 public:
  virtual HRESULT get_DataDocCount(std::int32_t* retval) = 0;
  /// Data document at a 0-based index (DISP_E_BADINDEX outside the range).
  virtual HRESULT GetDataDoc(std::int32_t index, ISpssDataDoc** retval) = 0;
};

/// An open data set.
class ISpssDataDoc : public IAutomationObject {
 public:
  virtual HRESULT GetNumberOfVariables(std::int32_t* retval) = 0;
  /// The split-file variables' names and their count.
  virtual HRESULT GetSplitVariables(std::vector<std::string>* pNames, std::int32_t* retval) = 0;
  /// The dictionary in dictionary order, every array indexed 0 to count - 1:
  /// names, labels (may be empty), type codes (0 numeric, otherwise the width
  /// of a string variable), measurement levels (0 unknown, 1 nominal,
  /// 2 ordinal, 3 scale) and numbers of value labels.
  virtual HRESULT GetVariableInfo(std::vector<std::string>* pNames, std::vector<std::string>* pLabels,
                                  std::vector<std::int32_t>* pTypes, std::vector<std::int32_t>* pMsmtLevels,
                                  std::vector<std::int32_t>* pLabelCounts, std::int32_t* retval) = 0;
  /// Full path of the data set's file (empty when it was never saved).
  virtual HRESULT GetDocumentPath(std::string* retval) = 0;
  virtual HRESULT GetNumberOfCases(std::int32_t* retval) = 0;
  /// Empty when no filter is in force; otherwise the variable's name, and with
  /// bLabel 1, when the variable has a label, a tab and the label after it.
  virtual HRESULT GetFilterVariable(std::int32_t bLabel, std::string* retval) = 0;
  /// As GetFilterVariable, for the weighting variable.
  virtual HRESULT GetWeightingVariable(std::int32_t bLabel, std::string* retval) = 0;
  /// Case values as text for the variables firstVariable to lastVariable (in
  /// dictionary order, given by name) and the 1-based cases firstCase to
  /// lastCase; indexed [case - firstCase][variable - firstVariable's index].
  virtual HRESULT GetTextData(const std::string& firstVariable, const std::string& lastVariable,
                              std::int32_t firstCase, std::int32_t lastCase, TextArray2D* retval) = 0;
};

/// The document that shows output: an outline of items, each at a level
/// (1 is the top). Inserted items come after all existing ones.
class ISpssOutputDoc : public IAutomationObject {
 public:
  virtual HRESULT get_Items(ISpssItems** retval) = 0;
  /// Each insert hands back the new item's index in the item list.
  virtual HRESULT InsertHeading(const std::string& label, std::int32_t* retval) = 0;
  virtual HRESULT InsertTitle(const std::string& label, const std::string& titleText, std::int32_t* retval) = 0;
  /// A pivot table of rows x columns data cells. One layer only.
  virtual HRESULT InsertTable(const std::string& label, std::int32_t rows, std::int32_t columns,
                              std::int32_t layers, std::int32_t* retval) = 0;
  /// A graphic drawn by the caller: svg is one whole SVG element, UTF-8
  /// text from "<svg" to its closing "</svg>" (white space around it is
  /// allowed), well-formed as XML. Text that is not is refused with
  /// E_INVALIDARG and inserts nothing. The graphic is shown as it is given.
  virtual HRESULT InsertGraphic(const std::string& label, const std::string& svg, std::int32_t* retval) = 0;
  /// Shows (1) or hides (0) the document; set to 1 when it is obtained.
  virtual HRESULT put_Visible(std::int32_t visible) = 0;
  /// Moves the selected item one outline level up (its level number falls by
  /// one, never below 1).
  virtual HRESULT Promote() = 0;
};

/// The items of an output document, in outline order.
class ISpssItems : public IAutomationObject {
 public:
  virtual HRESULT get_Count(std::int32_t* retval) = 0;
  virtual HRESULT GetItem(std::int32_t index, ISpssItem** retval) = 0;
};

/// One output item: a heading, a title or text item, a pivot table or a graphic.
class ISpssItem : public IAutomationObject {
 public:
  virtual HRESULT get_Level(std::int32_t* retval) = 0;
  /// Opens a pivot table item for editing (E_NOINTERFACE for other kinds).
  virtual HRESULT ActivateTable(Spsspvt_tlb::ISpssPivotTable** retval) = 0;
  /// Opens a title or text item's rich-text content for editing.
  virtual HRESULT ActivateText(Spssrtf_tlb::ISpssrtf** retval) = 0;
  /// Ends every edit of the item; interfaces obtained by activating it fail
  /// with OUTDOC_E_NOTACTIVE afterwards.
  virtual HRESULT Deactivate() = 0;
  /// 1 makes this the document's selected item (the one Promote moves).
  virtual HRESULT put_Selected(std::int32_t selected) = 0;
  /// 1 makes this the current item: the next inserted item is placed in the
  /// outline relative to it.
  virtual HRESULT put_Current(std::int32_t current) = 0;
  virtual HRESULT put_Visible(std::int32_t visible) = 0;
  /// Display height and width of the item, in pixels.
  virtual HRESULT put_Height(std::int32_t height) = 0;
  virtual HRESULT put_Width(std::int32_t width) = 0;
};

}  // namespace Spsswin_tlb
