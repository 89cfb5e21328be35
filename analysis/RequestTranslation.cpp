#include "analysis/RequestTranslation.h"

#include "datafile/PermutationFitTableFile.h"

#include <algorithm>

#include "analysis/DataDictionary.h"
#include "common/EKorvanaError.h"
#include "datafile/PermutationFitTableFile.h"
#include "engine/ClusterMethodFactory.h"
#include "proximity/BinaryMeasureFactory.h"
#include "proximity/CountsMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana {

namespace {

/// The entry at `position`, or the entry at `fallback` when the position is
/// outside the list.
template <class T>
T* entryAt(const std::vector<T*>& list, std::int32_t position, std::size_t fallback) {
  if (list.empty()) throw EKorvanaError("The lists of methods and measures have not been made");
  if (position >= 0 && static_cast<std::size_t>(position) < list.size()) return list[static_cast<std::size_t>(position)];
  return list[std::min(fallback, list.size() - 1)];
}

/// A position in the Power and Root lists ("1" to "4"), as the number it shows.
std::int32_t listNumber(std::int32_t position, std::int32_t fallbackPosition) {
  return (position >= 0 && position <= 3 ? position : fallbackPosition) + 1;
}

/// "0 to 6 (0 First, 1 Second, …)" for a list of named entries.
template <class T>
std::string listEntries(const std::vector<T*>& list) {
  std::string text = "0 to " + std::to_string(list.size() - 1) + " (";
  for (std::size_t i = 0; i < list.size(); ++i)
    text += (i > 0 ? ", " : "") + std::to_string(i) + " " + list[i]->getName();
  return text + ")";
}

template <class T>
void checkPosition(std::vector<SettingsEntry>& problems, const char* key, std::int32_t position,
                   const std::vector<T*>& list) {
  if (list.empty()) throw EKorvanaError("The lists of methods and measures have not been made");
  if (position < 0 || static_cast<std::size_t>(position) >= list.size())
    problems.push_back({"General", key, std::to_string(position), listEntries(list)});
}

}  // namespace

std::vector<SettingsEntry> findListPositionProblems(const AnalysisRequest& request) {
  std::vector<SettingsEntry> problems;
  checkPosition(problems, "Cluster Method", request.clusterMethod, ClusterMethodFactory::getClusterMethods());
  checkPosition(problems, "Interval Measure", request.intervalMeasure, IntervalMeasureFactory::getIntervalMeasures());
  checkPosition(problems, "Counts Measure", request.countsMeasure, CountsMeasureFactory::getCountsMeasures());
  checkPosition(problems, "Binary Measure", request.binaryMeasure, BinaryMeasureFactory::getBinaryMeasures());
  checkPosition(problems, "Standardise Method", request.standardiseMethod,
                StandardizeMethodFactory::getStandardizeMethods());
  return problems;
}

std::string fitTableFileNameOf(const std::string& text) {
  if (!text.empty() && text.find('.') == std::string::npos) return text + ".sav";
  return text;
}

std::string RequestProblems::text() const {
  std::string message;
  if (!unknownClusterVariables.empty()) {
    message = "The data set has no numeric variable ";
    for (std::size_t i = 0; i < unknownClusterVariables.size(); ++i)
      message += (i > 0 ? ", '" : "'") + unknownClusterVariables[i] + "'";
  }
  if (!unknownLabelVariable.empty())
    message += (message.empty() ? "" : "\n") +
               (labelVariableIsNumeric ? "'" + unknownLabelVariable +
                                             "' is a numeric variable; the cases are labelled by a string variable"
                                       : "The data set has no string variable '" + unknownLabelVariable +
                                             "' to label the cases");
  return message;
}

ChosenVariables chooseVariables(const AnalysisRequest& request, const std::vector<Variable>& dictionary,
                                RequestProblems& problems) {
  ChosenVariables chosen;
  for (const std::string& name : request.clusterVariables) {
    const Variable* variable = findNamedVariable(dictionary, name);
    if (variable != nullptr && variable->isNumeric()) {
      chosen.clusterVariables.push_back(variable);
    } else {
      problems.unknownClusterVariables.push_back(name);
    }
  }
  if (request.clusterView == ClusterView::cases && !request.labelVariable.empty()) {
    const Variable* label = findNamedVariable(dictionary, request.labelVariable);
    if (label != nullptr && !label->isNumeric()) {
      chosen.labelVariable = label;
    } else {
      problems.unknownLabelVariable = request.labelVariable;
      problems.labelVariableIsNumeric = label != nullptr;
    }
  }
  return chosen;
}

void checkRequest(const AnalysisRequest& request, const ChosenVariables& variables) {
  if (request.numberOfPermutations < 1)
    throw EKorvanaError("The number of permutations must be at least 1, not " +
                        std::to_string(request.numberOfPermutations));
  if (request.analysisType == AnalysisType::matrixFile) {
    const auto first = request.matrixFilename.find_first_not_of(" \t");
    if (first == std::string::npos) throw EKorvanaError("No proximity matrix file is given");
  } else {
    if (variables.clusterVariables.size() < 2)
      throw EKorvanaError("At least two numeric cluster variables are needed, " +
                          std::to_string(variables.clusterVariables.size()) + " given");
    for (std::size_t i = 0; i < variables.clusterVariables.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        if (variables.clusterVariables[i] == variables.clusterVariables[j])
          throw EKorvanaError("The cluster variable '" + variables.clusterVariables[i]->getName() +
                              "' is named twice; each variable can be clustered once");
    if (request.selectedMeasure == 2 && request.binaryMeasurePresent == request.binaryMeasureAbsent)
      throw EKorvanaError("The binary measure's present and absent values are both " +
                          std::to_string(request.binaryMeasurePresent) + "; they must differ");
  }
  if (request.savePermutationFitTable &&
      request.permutationFitTableFilename.find_first_not_of(" \t") == std::string::npos)
    throw EKorvanaError("No file name is given for the permutation fit table");
  if (request.savePermutationFitTable) fitTableFormatOf(fitTableFileNameOf(request.permutationFitTableFilename));
}

std::unique_ptr<ClusterAnalysis> makeAnalysis(const AnalysisRequest& request, const ChosenVariables& variables,
                                              automation::AutomationPtr<Spsswin_tlb::ISpssApp> application,
                                              std::time_t now) {
  ClusterMethod* method = entryAt(ClusterMethodFactory::getClusterMethods(), request.clusterMethod, 0);
  auto analysis = std::make_unique<ClusterAnalysis>(*method, request.analysisType, request.numberOfPermutations,
                                                    std::move(application));
  if (request.analysisType == AnalysisType::matrixFile) {
    analysis->setMatrixFileName(request.matrixFilename);
  } else {
    for (const Variable* variable : variables.clusterVariables) analysis->addClusterVariable(*variable);
    const bool cases = request.clusterView == ClusterView::cases;
    if (cases && variables.labelVariable != nullptr) analysis->setLabelVariable(variables.labelVariable);
    analysis->setView(request.clusterView);

    Measure* measure = nullptr;
    if (request.selectedMeasure == 0) {
      IntervalMeasure* interval = entryAt(IntervalMeasureFactory::getIntervalMeasures(), request.intervalMeasure, 0);
      interval->setPower(listNumber(request.intervalMeasurePower, 1));
      interval->setRoot(listNumber(request.intervalMeasureRoot, 1));
      measure = interval;
    } else if (request.selectedMeasure == 1) {
      measure = entryAt(CountsMeasureFactory::getCountsMeasures(), request.countsMeasure, 0);
    } else {
      BinaryMeasure* binary = entryAt(BinaryMeasureFactory::getBinaryMeasures(), request.binaryMeasure, 0);
      binary->setPresentValue(request.binaryMeasurePresent);
      binary->setAbsentValue(request.binaryMeasureAbsent);
      measure = binary;
    }
    measure->setAbsolute(request.absoluteValues);
    measure->setReverse(request.changeSign);
    measure->setRescale(request.rescale);
    analysis->setMeasure(measure);
    StandardizeMethod* standardize =
        entryAt(StandardizeMethodFactory::getStandardizeMethods(), request.standardiseMethod, 0);
    standardize->setStandardizeBy(request.standardiseView == 1 ? 1 : 0);
    analysis->setStandardizeMethod(standardize);
    analysis->setPrintProximityMatrix(request.proximityMatrix);
  }
  analysis->setFirstPermutationIsIdentity(request.firstPermutationIdentity);
  analysis->setSeed(request.seedType == SeedType::random ? static_cast<std::int32_t>(now) : request.seed);
  analysis->setSeedFromClock(request.seedType == SeedType::random);
  analysis->setShowPermutationFit(request.permutationFit);
  analysis->setShowObjectOrder(request.objectOrder);
  analysis->setShowAgglomerationSchedule(request.agglomerationSchedule);
  analysis->setShowDendrogram(request.dendrogram);
  analysis->setClusterSupport(request.clusterSupport);
  analysis->setSolutionsShown(request.solutionsShown);
  analysis->setStopWhenStable(request.stopWhenStable);
  analysis->setOrderFreeTree(request.orderFreeTree);
  analysis->setSaveFitTable(request.savePermutationFitTable);
  if (request.savePermutationFitTable)
    analysis->setFitTableFileName(fitTableFileNameOf(request.permutationFitTableFilename));
  return analysis;
}

}  // namespace korvana
