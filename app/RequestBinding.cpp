#include "app/RequestBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <optional>

#include "app/GeneralPage.h"
#include "app/OptionsPage.h"
#include "app/VariableListsWidget.h"
#include "analysis/SettingsFile.h"

namespace korvana::app {

namespace {

/// The edit's text as a whole signed 32-bit number, read as the settings
/// file reads one; nothing when it is not such a number.
std::optional<std::int32_t> numberIn(const QLineEdit* edit) { return parseSettingsInteger(edit->text().toStdString()); }

bool isBlank(const QLineEdit* edit) { return edit->text().trimmed().isEmpty(); }

/// Selects the entry at a stored position, or the fallback entry when the
/// position lies outside the list.
void selectStoredPosition(QComboBox* list, std::int32_t position, int fallback) {
  list->setCurrentIndex(position >= 0 && position < list->count() ? position : fallback);
}

}  // namespace

RequestBinding::RequestBinding(GeneralPage& general, OptionsPage& options) : general_(general), options_(options) {}

AnalysisRequest RequestBinding::collect() const {
  const GeneralPage& g = general_;
  const OptionsPage& o = options_;
  AnalysisRequest request;
  request.clusterMethod = g.clusterMethodComboBox()->currentIndex();
  request.numberOfPermutations = numberIn(g.nrOfPermutationsEdit()).value_or(100);
  request.analysisType = g.analyzeMatrixRadioButton()->isChecked() ? AnalysisType::matrixFile : AnalysisType::data;
  request.matrixFilename = g.matrixFilenameEdit()->text().toStdString();
  const bool cases = g.clusterCasesRadioButton()->isChecked();
  request.clusterView = cases ? ClusterView::cases : ClusterView::variables;
  request.clusterVariables = g.variableLists()->clusterVariableNames();
  const std::vector<std::string> labels = g.variableLists()->labelVariableNames();
  if (cases && labels.size() == 1) request.labelVariable = labels.front();
  request.selectedMeasure = g.intervalMeasureRadioButton()->isChecked()   ? 0
                            : g.countsMeasureRadioButton()->isChecked() ? 1
                                                                        : 2;
  request.intervalMeasure = g.intervalMeasureComboBox()->currentIndex();
  request.intervalMeasurePower = g.intervalMeasurePowerComboBox()->currentIndex();
  request.intervalMeasureRoot = g.intervalMeasureRootComboBox()->currentIndex();
  request.countsMeasure = g.countsMeasureComboBox()->currentIndex();
  request.binaryMeasure = g.binaryMeasureComboBox()->currentIndex();
  request.binaryMeasurePresent = numberIn(g.binaryMeasurePresentEdit()).value_or(1);
  request.binaryMeasureAbsent = numberIn(g.binaryMeasureAbsentEdit()).value_or(0);
  request.absoluteValues = g.transformMeasuresAbsoluteValuesCheckBox()->isChecked();
  request.changeSign = g.transformMeasuresChangeSignCheckBox()->isChecked();
  request.rescale = g.transformMeasuresRescaleCheckBox()->isChecked();
  request.standardiseMethod = g.standardizeMethodComboBox()->currentIndex();
  request.standardiseView = g.standardizeByVariableRadioButton()->isChecked() ? 1 : 0;

  request.firstPermutationIdentity = o.firstPermIsIdentityCheckBox()->isChecked();
  request.seedType = o.randomSeedRadioButton()->isChecked() ? SeedType::random : SeedType::custom;
  request.seed = numberIn(o.customSeedEdit()).value_or(4000000);
  request.proximityMatrix = o.proximityMatrixCheckBox()->isChecked();
  request.permutationFit = o.permutationFitCheckBox()->isChecked();
  request.objectOrder = o.objectOrderCheckBox()->isChecked();
  request.agglomerationSchedule = o.agglomerationScheduleCheckBox()->isChecked();
  request.dendrogram = o.dendrogramCheckBox()->isChecked();
  request.clusterSupport = o.clusterSupportCheckBox()->isChecked();
  request.stopWhenStable = numberIn(o.stopWhenStableEdit()).value_or(0);
  if (request.stopWhenStable < 0) request.stopWhenStable = 0;
  request.solutionsShown = o.solutionsShownComboBox()->currentIndex() == 1 ? SolutionsShown::hierarchies
                                                                          : SolutionsShown::orders;
  request.orderFreeTree = o.orderFreeTreeCheckBox()->isChecked();
  request.savePermutationFitTable = o.savePermutationFitTableCheckBox()->isChecked();
  request.permutationFitTableFilename = o.permutationFitTableFilenameEdit()->text().toStdString();
  return request;
}

void RequestBinding::restore(const AnalysisRequest& stored) {
  GeneralPage& g = general_;
  OptionsPage& o = options_;
  const AnalysisRequest defaults;
  selectStoredPosition(g.clusterMethodComboBox(), stored.clusterMethod, defaults.clusterMethod);
  g.nrOfPermutationsEdit()->setText(QString::number(stored.numberOfPermutations));
  (stored.analysisType == AnalysisType::data ? g.analyzeDataRadioButton() : g.analyzeMatrixRadioButton())
      ->setChecked(true);
  g.matrixFilenameEdit()->setText(QString::fromStdString(stored.matrixFilename));
  (stored.clusterView == ClusterView::cases ? g.clusterCasesRadioButton() : g.clusterVariablesRadioButton())
      ->setChecked(true);
  g.variableLists()->restoreChosenVariables(stored.clusterVariables, stored.labelVariable);

  QRadioButton* measure = stored.selectedMeasure == 0   ? g.intervalMeasureRadioButton()
                          : stored.selectedMeasure == 1 ? g.countsMeasureRadioButton()
                                                        : g.binaryMeasureRadioButton();
  measure->setChecked(true);
  selectStoredPosition(g.intervalMeasureComboBox(), stored.intervalMeasure, defaults.intervalMeasure);
  selectStoredPosition(g.intervalMeasurePowerComboBox(), stored.intervalMeasurePower, defaults.intervalMeasurePower);
  selectStoredPosition(g.intervalMeasureRootComboBox(), stored.intervalMeasureRoot, defaults.intervalMeasureRoot);
  selectStoredPosition(g.countsMeasureComboBox(), stored.countsMeasure, defaults.countsMeasure);
  selectStoredPosition(g.binaryMeasureComboBox(), stored.binaryMeasure, defaults.binaryMeasure);
  g.binaryMeasurePresentEdit()->setText(QString::number(stored.binaryMeasurePresent));
  g.binaryMeasureAbsentEdit()->setText(QString::number(stored.binaryMeasureAbsent));
  g.transformMeasuresAbsoluteValuesCheckBox()->setChecked(stored.absoluteValues);
  g.transformMeasuresChangeSignCheckBox()->setChecked(stored.changeSign);
  g.transformMeasuresRescaleCheckBox()->setChecked(stored.rescale);
  selectStoredPosition(g.standardizeMethodComboBox(), stored.standardiseMethod, defaults.standardiseMethod);
  (stored.standardiseView == 1 ? g.standardizeByVariableRadioButton() : g.standardizeByCaseRadioButton())
      ->setChecked(true);

  o.firstPermIsIdentityCheckBox()->setChecked(stored.firstPermutationIdentity);
  o.customSeedEdit()->setText(QString::number(stored.seed));
  (stored.seedType == SeedType::random ? o.randomSeedRadioButton() : o.customSeedRadioButton())->setChecked(true);
  o.proximityMatrixCheckBox()->setChecked(stored.proximityMatrix);
  o.permutationFitCheckBox()->setChecked(stored.permutationFit);
  o.objectOrderCheckBox()->setChecked(stored.objectOrder);
  o.agglomerationScheduleCheckBox()->setChecked(stored.agglomerationSchedule);
  o.dendrogramCheckBox()->setChecked(stored.dendrogram);
  o.clusterSupportCheckBox()->setChecked(stored.clusterSupport);
  o.stopWhenStableEdit()->setText(QString::number(stored.stopWhenStable));
  o.solutionsShownComboBox()->setCurrentIndex(stored.solutionsShown == SolutionsShown::hierarchies ? 1 : 0);
  o.orderFreeTreeCheckBox()->setChecked(stored.orderFreeTree);
  o.savePermutationFitTableCheckBox()->setChecked(stored.savePermutationFitTable);
  o.permutationFitTableFilenameEdit()->setText(QString::fromStdString(stored.permutationFitTableFilename));
}

bool RequestBinding::isComplete() const {
  const GeneralPage& g = general_;
  const OptionsPage& o = options_;
  const std::optional<std::int32_t> permutations = numberIn(g.nrOfPermutationsEdit());
  bool valid = permutations.has_value() && *permutations > 0;
  if (g.analyzeMatrixRadioButton()->isChecked()) {
    valid = valid && !isBlank(g.matrixFilenameEdit());
  } else {
    valid = valid && g.variableLists()->clusterVariableCount() >= 2;
  }
  if (g.binaryMeasureRadioButton()->isChecked())
    valid = valid && numberIn(g.binaryMeasurePresentEdit()) && numberIn(g.binaryMeasureAbsentEdit());
  if (o.customSeedRadioButton()->isChecked()) valid = valid && numberIn(o.customSeedEdit()).has_value();
  if (o.savePermutationFitTableCheckBox()->isChecked()) valid = valid && !isBlank(o.permutationFitTableFilenameEdit());
  return valid;
}

}  // namespace korvana::app
