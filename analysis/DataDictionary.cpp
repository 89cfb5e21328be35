#include "analysis/DataDictionary.h"

#include <cctype>
#include <string>

#include "common/EKorvanaError.h"
#include "common/SyntaxName.h"
#include "output/AutomationCallChecks.h"

namespace korvana {

namespace {

[[noreturn]] void unreadable() { throw EKorvanaError("The dictionary of the data set cannot be read"); }

}  // namespace

// Checks a call as every automation call is checked, and ends the reading
// when it failed.
#define DICTIONARY_CALL(call) \
  if (automation::failed(HRCHECK(call))) unreadable()

std::vector<Variable> readDataDictionary(Spsswin_tlb::ISpssApp& application) {
  std::vector<Variable> variables;
  automation::AutomationPtr<Spsswin_tlb::ISpssDocuments> documents;
  DICTIONARY_CALL(application.get_Documents(documents.put()));
  std::int32_t count = 0;
  DICTIONARY_CALL(documents->get_DataDocCount(&count));
  if (count == 0) return variables;
  automation::AutomationPtr<Spsswin_tlb::ISpssDataDoc> data;
  DICTIONARY_CALL(documents->GetDataDoc(0, data.put()));
  std::vector<std::string> splitNames;
  std::int32_t splitCount = 0;
  DICTIONARY_CALL(data->GetSplitVariables(&splitNames, &splitCount));
  if (splitCount > 0) throw EKorvanaError("Split File is not supported.");
  std::vector<std::string> names, labels;
  std::vector<std::int32_t> types, levels, labelCounts;
  std::int32_t variableCount = 0;
  DICTIONARY_CALL(data->GetVariableInfo(&names, &labels, &types, &levels, &labelCounts, &variableCount));
  variables.reserve(static_cast<std::size_t>(variableCount > 0 ? variableCount : 0));
  for (std::int32_t i = 0; i < variableCount; ++i) {
    const auto k = static_cast<std::size_t>(i);
    variables.emplace_back(i, k < names.size() ? names[k] : std::string(),
                           k < labels.size() ? labels[k] : std::string(), k < types.size() ? types[k] : 0);
  }
  return variables;
}

const Variable* findNamedVariable(const std::vector<Variable>& dictionary, const std::string& text, bool anyCase) {
  for (const Variable& variable : dictionary)
    if (variable.getName() == text) return &variable;
  // The one variable that matches otherwise, if there is exactly one.
  const auto single = [&](auto matches) -> const Variable* {
    const Variable* found = nullptr;
    for (const Variable& variable : dictionary) {
      if (!matches(variable)) continue;
      if (found != nullptr) return nullptr;
      found = &variable;
    }
    return found;
  };
  if (isSyntaxName(text)) {
    if (!anyCase) return nullptr;
    const auto upper = [](std::string name) {
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return name;
    };
    return single([&](const Variable& variable) { return upper(variable.getName()) == upper(text); });
  }
  return single([&](const Variable& variable) { return variable.getLabel() == text; });
}

}  // namespace korvana
