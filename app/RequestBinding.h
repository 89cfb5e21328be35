// The binding of the main dialog's controls to a request: which control
// holds which choice of an AnalysisRequest, in both directions.
//
// collect() reads the request the controls describe (list positions, the
// edits' numbers with their fallbacks, the variables by name); restore()
// sets the controls to a stored request, as the settings file gives it;
// isComplete() is the rule behind OK, read from the controls themselves.
#pragma once

#include "analysis/AnalysisRequest.h"

namespace korvana::app {

class GeneralPage;
class OptionsPage;

class RequestBinding {
 public:
  /// The pages must outlive the binding.
  RequestBinding(GeneralPage& general, OptionsPage& options);

  /// The choices as a request. The cluster variables come in list order;
  /// the label variable only when cases are clustered and the label list
  /// holds exactly one variable.
  AnalysisRequest collect() const;
  /// Sets every control to the stored choice. A list position outside its
  /// list selects the list's default entry; variables come back by name and
  /// kind (see VariableListsWidget::restoreChosenVariables). The lists of
  /// methods and measures must have been filled.
  void restore(const AnalysisRequest& stored);
  /// True while the controls describe a request that can run: at least one
  /// permutation; with the data, at least two cluster variables; with a
  /// matrix file, its name; under Binary, whole numbers for present and
  /// absent; under Custom seed, a whole number; a name for a saved table.
  bool isComplete() const;

 private:
  GeneralPage& general_;
  OptionsPage& options_;
};

}  // namespace korvana::app
