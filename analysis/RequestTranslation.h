// Turns a request (the settings file's choices) into a configured analysis, as
// the dialog's OK does: the same measure, standardization and option
// settings, in the same order, without the dialog's questions. Shared by the
// headless front end and the desktop program.
//
// The cluster methods, measures and standardization methods must have been
// made by their factories; the chosen instances receive this run's settings
// (power, root, present/absent, transformations, standardization direction).
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/AnalysisRequest.h"
#include "analysis/SettingsFile.h"
#include "analysis/ClusterAnalysis.h"
#include "analysis/Variable.h"

namespace korvana {

/// What the request asks for that the data set cannot give.
struct RequestProblems {
  std::vector<std::string> unknownClusterVariables;  // no numeric variable of that name
  std::string unknownLabelVariable;                  // no string variable of that name
  bool labelVariableIsNumeric = false;               // ... but a numeric one
  bool empty() const { return unknownClusterVariables.empty() && unknownLabelVariable.empty(); }
  /// The problems in words, one a line ("" when there are none).
  std::string text() const;
};

/// The fit table's file name as the analysis uses it: ".sav" appended when
/// the name is not empty and has no "." anywhere.
std::string fitTableFileNameOf(const std::string& text);

/// The variables of the request found in the dictionary (findNamedVariable):
/// the cluster variables (numeric ones only, in the request's order) and the
/// label variable (a string variable; only when cases are clustered). Names
/// that match nothing go into `problems`.
struct ChosenVariables {
  std::vector<const Variable*> clusterVariables;
  const Variable* labelVariable = nullptr;
};
ChosenVariables chooseVariables(const AnalysisRequest& request, const std::vector<Variable>& dictionary,
                                RequestProblems& problems);

/// Checks what the dialog's OK button requires: at least one permutation;
/// with the data, at least two cluster variables, none of them twice, and a
/// binary measure's present and absent values that differ; with a matrix
/// file, a file name; a file name when the fit table is saved. Throws
/// EKorvanaError with a message naming the problem.
void checkRequest(const AnalysisRequest& request, const ChosenVariables& variables);

/// The list positions of the request that point past their lists (method,
/// measures, standardization), each with the entries of its list as what is
/// allowed. The shared instances must have been made.
std::vector<SettingsEntry> findListPositionProblems(const AnalysisRequest& request);

/// Makes the analysis. `now` is the seed when the request asks for a random
/// seed. A list position outside its list takes that list's default entry.
std::unique_ptr<ClusterAnalysis> makeAnalysis(const AnalysisRequest& request, const ChosenVariables& variables,
                                              automation::AutomationPtr<Spsswin_tlb::ISpssApp> application,
                                              std::time_t now);

}  // namespace korvana
