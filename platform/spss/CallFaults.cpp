#include "platform/spss/CallFaults.h"

#include <algorithm>
#include <stdexcept>

namespace korvana::spss {

const std::vector<std::string>& CallFaults::operationNames() {
  static const std::vector<std::string> names = {
      // ISpssApp
      "get_Documents", "GetDesignatedOutputDoc", "ExecuteCommands",
      // ISpssDocuments
      "get_DataDocCount", "GetDataDoc",
      // ISpssDataDoc
      "GetNumberOfVariables", "GetSplitVariables", "GetVariableInfo", "GetDocumentPath", "GetNumberOfCases",
      "GetFilterVariable", "GetWeightingVariable", "GetTextData"};
  return names;
}

void CallFaults::failNextCall(const std::string& operation, automation::HRESULT code) {
  const auto& names = operationNames();
  if (std::find(names.begin(), names.end(), operation) == names.end())
    throw std::invalid_argument("no operation \"" + operation + "\" can be made to fail");
  if (!automation::failed(code))
    throw std::invalid_argument("a planted result must be a failure code");
  planted_[operation].push_back(code);
}

std::optional<automation::HRESULT> CallFaults::take(const std::string& operation) {
  const auto found = planted_.find(operation);
  if (found == planted_.end()) return std::nullopt;
  const automation::HRESULT code = found->second.front();
  found->second.erase(found->second.begin());
  if (found->second.empty()) planted_.erase(found);
  return code;
}

}  // namespace korvana::spss
