#include "platform/spss/DataDocument.h"

#include <filesystem>
#include <limits>

#include "common/EKorvanaError.h"

namespace korvana::spss {

using namespace automation;

namespace {

std::int32_t clampedCount(std::size_t count) {
  return static_cast<std::int32_t>(std::min<std::size_t>(count, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

AutomationPtr<DataDocument> DataDocument::create(DataSet data, const std::string& path,
                                                 SharedPackageSession session) {
  return AutomationPtr<DataDocument>::adopt(new DataDocument(std::move(data), path, std::move(session)));
}

DataDocument::DataDocument(DataSet data, std::string path, SharedPackageSession session)
    : data_(std::move(data)),
      path_(path.empty() ? std::string() : std::filesystem::absolute(path).lexically_normal().string()),
      session_(std::move(session)) {}

HRESULT DataDocument::GetNumberOfVariables(std::int32_t* retval) {
  if (const HRESULT entered = session_->enter("GetNumberOfVariables"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  *retval = clampedCount(data_.variableCount());
  return S_OK;
}

HRESULT DataDocument::GetSplitVariables(std::vector<std::string>* pNames, std::int32_t* retval) {
  if (const HRESULT entered = session_->enter("GetSplitVariables"); failed(entered)) return entered;
  if (!pNames || !retval) return E_POINTER;
  *pNames = splitVariables_;
  *retval = clampedCount(splitVariables_.size());
  return S_OK;
}

HRESULT DataDocument::GetVariableInfo(std::vector<std::string>* pNames, std::vector<std::string>* pLabels,
                                      std::vector<std::int32_t>* pTypes, std::vector<std::int32_t>* pMsmtLevels,
                                      std::vector<std::int32_t>* pLabelCounts, std::int32_t* retval) {
  if (const HRESULT entered = session_->enter("GetVariableInfo"); failed(entered)) return entered;
  if (!pNames || !pLabels || !pTypes || !pMsmtLevels || !pLabelCounts || !retval) return E_POINTER;
  pNames->clear();
  pLabels->clear();
  pTypes->clear();
  pMsmtLevels->clear();
  pLabelCounts->clear();
  for (std::size_t i = 0; i < data_.variableCount(); ++i) {
    const DataVariable& variable = data_.variable(i);
    pNames->push_back(variable.name);
    pLabels->push_back(variable.label);
    pTypes->push_back(variable.type);
    pMsmtLevels->push_back(variable.measurementLevel);
    pLabelCounts->push_back(variable.valueLabelCount);
  }
  *retval = clampedCount(data_.variableCount());
  return S_OK;
}

HRESULT DataDocument::GetDocumentPath(std::string* retval) {
  if (const HRESULT entered = session_->enter("GetDocumentPath"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  *retval = path_;
  return S_OK;
}

HRESULT DataDocument::GetNumberOfCases(std::int32_t* retval) {
  if (const HRESULT entered = session_->enter("GetNumberOfCases"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  *retval = clampedCount(data_.caseCount());
  return S_OK;
}

std::string DataDocument::describe(const std::string& variable, std::int32_t withLabel) const {
  if (variable.empty() || !withLabel) return variable;
  const auto index = data_.findVariable(variable);
  const std::string& label = index ? data_.variable(*index).label : std::string();
  return label.empty() ? variable : variable + "\t" + label;
}

HRESULT DataDocument::GetFilterVariable(std::int32_t bLabel, std::string* retval) {
  if (const HRESULT entered = session_->enter("GetFilterVariable"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  *retval = describe(filterVariable_, bLabel);
  return S_OK;
}

HRESULT DataDocument::GetWeightingVariable(std::int32_t bLabel, std::string* retval) {
  if (const HRESULT entered = session_->enter("GetWeightingVariable"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  *retval = describe(data_.weightVariable(), bLabel);
  return S_OK;
}

HRESULT DataDocument::GetTextData(const std::string& firstVariable, const std::string& lastVariable,
                                  std::int32_t firstCase, std::int32_t lastCase, TextArray2D* retval) {
  if (const HRESULT entered = session_->enter("GetTextData"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  const auto first = data_.findVariable(firstVariable);
  const auto last = data_.findVariable(lastVariable);
  if (!first || !last || *last < *first) return E_INVALIDARG;
  if (firstCase < 1 || lastCase < firstCase || static_cast<std::size_t>(lastCase) > data_.caseCount())
    return DISP_E_BADINDEX;
  TextArray2D values;
  values.reserve(static_cast<std::size_t>(lastCase - firstCase + 1));
  for (std::int32_t c = firstCase; c <= lastCase; ++c) {
    std::vector<std::string> row;
    row.reserve(*last - *first + 1);
    for (std::size_t v = *first; v <= *last; ++v) row.push_back(data_.text(static_cast<std::size_t>(c - 1), v));
    values.push_back(std::move(row));
  }
  *retval = std::move(values);
  return S_OK;
}

std::string DataDocument::dictionaryName(const std::string& name, bool numericOnly, const char* role) const {
  const auto index = data_.findVariable(name);
  if (!index) throw EKorvanaError("The data set has no variable " + name);
  const DataVariable& variable = data_.variable(*index);
  if (numericOnly && !variable.isNumeric())
    throw EKorvanaError("The " + std::string(role) + " variable " + variable.name + " is not numeric");
  return variable.name;
}

void DataDocument::setFilterVariable(const std::string& name) {
  filterVariable_ = name.empty() ? std::string() : dictionaryName(name, true, "filter");
}

void DataDocument::setWeightVariable(const std::string& name) {
  data_.setWeightVariable(name.empty() ? std::string() : dictionaryName(name, true, "weight"));
}

void DataDocument::setSplitVariables(const std::vector<std::string>& names) {
  std::vector<std::string> split;
  for (const std::string& name : names) split.push_back(dictionaryName(name, false, "split"));
  splitVariables_ = std::move(split);
}

}  // namespace korvana::spss
