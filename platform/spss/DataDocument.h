// An open data set as the package's automation shows it (ISpssDataDoc), with
// the selection settings the package keeps per data set: the filter variable,
// the weighting variable and the split-file variables.
#pragma once

#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/DataSet.h"
#include "platform/spss/PackageSession.h"

namespace korvana::spss {

class DataDocument final : public CountedObject<Spsswin_tlb::ISpssDataDoc> {
 public:
  /// A document over data read from path (kept as given, made absolute).
  static automation::AutomationPtr<DataDocument> create(DataSet data, const std::string& path,
                                                        SharedPackageSession session);

  // ISpssDataDoc
  automation::HRESULT GetNumberOfVariables(std::int32_t* retval) override;
  automation::HRESULT GetSplitVariables(std::vector<std::string>* pNames, std::int32_t* retval) override;
  /// Measurement levels are the MeasurementLevel codes of DataSet.h. Every
  /// out parameter is required (E_POINTER otherwise).
  automation::HRESULT GetVariableInfo(std::vector<std::string>* pNames, std::vector<std::string>* pLabels,
                                      std::vector<std::int32_t>* pTypes, std::vector<std::int32_t>* pMsmtLevels,
                                      std::vector<std::int32_t>* pLabelCounts, std::int32_t* retval) override;
  automation::HRESULT GetDocumentPath(std::string* retval) override;
  automation::HRESULT GetNumberOfCases(std::int32_t* retval) override;
  /// The name alone, or with bLabel nonzero and a labelled variable the name,
  /// a tab and the label.
  automation::HRESULT GetFilterVariable(std::int32_t bLabel, std::string* retval) override;
  automation::HRESULT GetWeightingVariable(std::int32_t bLabel, std::string* retval) override;
  /// Values as DataSet::text gives them. E_INVALIDARG for an unknown variable
  /// or a last variable before the first; DISP_E_BADINDEX for cases outside
  /// 1 to the number of cases or a last case before the first.
  automation::HRESULT GetTextData(const std::string& firstVariable, const std::string& lastVariable,
                                  std::int32_t firstCase, std::int32_t lastCase,
                                  automation::TextArray2D* retval) override;

  // The package's own settings (not automation calls). Each throws
  // EKorvanaError for a variable the data set does not have, and for a string
  // variable as filter or weight; an empty name turns the setting off.
  void setFilterVariable(const std::string& name);
  void setWeightVariable(const std::string& name);
  void setSplitVariables(const std::vector<std::string>& names);

  /// The filter variable in force (empty: none) and the split-file
  /// variables, as the dictionary spells them.
  const std::string& filterVariable() const { return filterVariable_; }
  const std::vector<std::string>& splitVariables() const { return splitVariables_; }

  const DataSet& data() const { return data_; }
  const std::string& path() const { return path_; }

 private:
  DataDocument(DataSet data, std::string path, SharedPackageSession session);

  std::string describe(const std::string& variable, std::int32_t withLabel) const;
  /// The variable's name as the dictionary spells it.
  std::string dictionaryName(const std::string& name, bool numericOnly, const char* role) const;

  DataSet data_;
  std::string path_;
  SharedPackageSession session_;
  std::string filterVariable_;
  std::vector<std::string> splitVariables_;
};

}  // namespace korvana::spss
