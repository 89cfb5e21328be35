#include "analysis/MembershipFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "common/EKorvanaError.h"
#include "engine/ClusterSolution.h"
#include "engine/ProximityMatrix.h"
#include "engine/TreeCut.h"
#include "output/AutomationCallChecks.h"

namespace korvana {

namespace {

[[noreturn]] void unreadable() { throw EKorvanaError("The cases of the data set cannot be read"); }

#define DATA_CALL(call) \
  if (automation::failed(HRCHECK(call))) unreadable()

/// The membership variables, each with a value per object.
std::vector<CaseTableVariable> membershipVariables(const MembershipColumns& columns) {
  std::vector<CaseTableVariable> variables;
  for (std::size_t s = 0; s < columns.solutions.size(); ++s) {
    const ClusterSolution& solution = *columns.solutions[s];
    TreeCut cut(solution);
    std::vector<CaseTableVariable> ofSolution;
    for (int k = columns.to; k >= columns.from; --k) {
      cut.cutTo(k);
      CaseTableVariable variable;
      variable.name = membershipVariableName(k, static_cast<int>(s) + 1);
      variable.label = std::to_string(k) + " clusters of " + columns.solutionWord + " " + std::to_string(s + 1);
      for (const int cluster : cut.memberships()) variable.numbers.push_back(cluster);
      ofSolution.push_back(std::move(variable));
    }
    variables.insert(variables.end(), ofSolution.rbegin(), ofSolution.rend());
  }
  return variables;
}

std::string trimmed(const std::string& text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

std::string membershipVariableName(int k, int solution) {
  return "CLU" + std::to_string(k) + "_" + std::to_string(solution);
}

CaseTable objectMembershipTable(const ProximityMatrix& matrix, const MembershipColumns& columns) {
  const int n = matrix.getNumberOfObjects();
  CaseTable table;
  table.setCaseCount(static_cast<std::size_t>(n));
  CaseTableVariable number{"object", "object in the proximity matrix", 0, 0, {}, {}};
  for (int i = 0; i < n; ++i) number.numbers.push_back(i + 1);
  table.addVariable(std::move(number));
  if (matrix.hasObjectLabels()) {
    CaseTableVariable label{"label", "label of the object", 1, 0, {}, {}};
    for (int i = 0; i < n; ++i) {
      label.strings.push_back(trimmed(matrix.getObjectLabel(i)));
      label.width = std::max(label.width, static_cast<int>(label.strings.back().size()));
    }
    table.addVariable(std::move(label));
  }
  for (CaseTableVariable& variable : membershipVariables(columns)) table.addVariable(std::move(variable));
  return table;
}

CaseTable caseMembershipTable(Spsswin_tlb::ISpssDataDoc& data, const ProximityMatrix& matrix,
                              const MembershipColumns& columns) {
  std::vector<std::string> names, labels;
  std::vector<std::int32_t> types, levels, labelCounts;
  std::int32_t variableCount = 0, caseCount = 0;
  DATA_CALL(data.GetVariableInfo(&names, &labels, &types, &levels, &labelCounts, &variableCount));
  DATA_CALL(data.GetNumberOfCases(&caseCount));
  if (variableCount < 1 || names.size() < static_cast<std::size_t>(variableCount) ||
      types.size() < static_cast<std::size_t>(variableCount) || caseCount < 0)
    unreadable();
  automation::TextArray2D values;
  if (caseCount > 0) DATA_CALL(data.GetTextData(names.front(), names[static_cast<std::size_t>(variableCount - 1)], 1,
                                                caseCount, &values));
  const auto cases = static_cast<std::size_t>(caseCount);
  if (values.size() != cases) unreadable();
  CaseTable table;
  table.setCaseCount(cases);
  for (std::size_t v = 0; v < static_cast<std::size_t>(variableCount); ++v) {
    CaseTableVariable variable;
    variable.name = names[v];
    variable.label = v < labels.size() ? labels[v] : std::string();
    variable.width = types[v];
    for (std::size_t c = 0; c < cases; ++c) {
      if (values[c].size() != static_cast<std::size_t>(variableCount)) unreadable();
      const std::string& text = values[c][v];
      if (variable.width > 0) {
        variable.strings.push_back(text);
        continue;
      }
      double value = std::numeric_limits<double>::quiet_NaN();
      if (text != ".") {
        const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
        if (read.ec != std::errc() || read.ptr != text.data() + text.size())
          throw EKorvanaError("The value '" + text + "' of variable " + variable.name + " in case " +
                              std::to_string(c + 1) + " is not a number");
      }
      variable.decimals = std::max(variable.decimals, decimalsOf(value));
      variable.numbers.push_back(value);
    }
    table.addVariable(std::move(variable));
  }
  // The objects' memberships go to their cases.
  std::vector<CaseTableVariable> memberships = membershipVariables(columns);
  for (CaseTableVariable& variable : memberships) {
    if (table.hasVariable(variable.name))
      throw EKorvanaError("The data set already has a variable named " + variable.name +
                          "; rename or delete it before the cluster memberships are saved with the data");
    std::vector<double> byCase(cases, std::numeric_limits<double>::quiet_NaN());
    for (int i = 0; i < matrix.getNumberOfObjects(); ++i) {
      const std::int32_t number = matrix.getRow(i).getCaseNumber();
      if (number < 1 || static_cast<std::size_t>(number) > cases)
        throw EKorvanaError("Object " + std::to_string(i + 1) + " names case " + std::to_string(number) +
                            ", which the data set does not have");
      byCase[static_cast<std::size_t>(number - 1)] = variable.numbers[static_cast<std::size_t>(i)];
    }
    variable.numbers = std::move(byCase);
    table.addVariable(std::move(variable));
  }
  return table;
}

}  // namespace korvana
