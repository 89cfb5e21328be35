// The binding of the dialog's controls to a request, on the two pages alone
// (no dialog, no statistics package): a restored request is collected back
// unchanged, variables come back by name and kind, and OK's rule follows
// what was restored.
#include <QComboBox>
#include <QListWidget>
#include <QTest>
#include <vector>

#include "app/GeneralPage.h"
#include "app/OptionsPage.h"
#include "app/RequestBinding.h"
#include "app/VariableListsWidget.h"
#include "analysis/SharedInstances.h"
#include "analysis/Variable.h"

using korvana::AnalysisRequest;
using korvana::Variable;
using korvana::app::GeneralPage;
using korvana::app::OptionsPage;
using korvana::app::RequestBinding;

namespace {

QStringList captions(const QWidget& page, const char* list) {
  QStringList result;
  const auto* widget = page.findChild<QListWidget*>(list);
  for (int i = 0; i < widget->count(); ++i) result << widget->item(i)->text();
  return result;
}

/// Every choice away from its default, the positions inside their lists.
AnalysisRequest everyChoiceChanged() {
  AnalysisRequest request;
  request.clusterMethod = 5;
  request.numberOfPermutations = 321;
  request.analysisType = korvana::AnalysisType::matrixFile;
  request.matrixFilename = "prox.sav";
  request.clusterVariables = {"x3", "x1"};
  request.labelVariable = "city";
  request.selectedMeasure = 2;
  request.intervalMeasure = 7;
  request.intervalMeasurePower = 3;
  request.intervalMeasureRoot = 0;
  request.countsMeasure = 1;
  request.binaryMeasure = 4;
  request.binaryMeasurePresent = -7;
  request.binaryMeasureAbsent = 9;
  request.absoluteValues = request.changeSign = request.rescale = true;
  request.standardiseMethod = 3;
  request.standardiseView = 0;
  request.firstPermutationIdentity = false;
  request.seedType = korvana::SeedType::custom;
  request.seed = -123456;
  request.proximityMatrix = request.permutationFit = request.objectOrder = true;
  request.agglomerationSchedule = false;
  request.dendrogram = request.savePermutationFitTable = request.clusterSupport = true;
  request.solutionsShown = korvana::SolutionsShown::hierarchies;
  request.stopWhenStable = 250;
  request.dendrogram = request.savePermutationFitTable = request.clusterSupport = request.orderFreeTree = true;
  request.permutationFitTableFilename = "fits.sav";
  return request;
}

}  // namespace

class RequestBindingTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void restoredRequestIsCollectedUnchanged_data();
  void restoredRequestIsCollectedUnchanged();
  void variablesComeBackByNameAndKind();
  void completenessFollowsTheRestoredChoices();

 private:
  /// Restores into lists that hold only the variable list, as at the start.
  void restoreAnew(const AnalysisRequest& stored);

  // x1, name, x2, city, x3: numeric unless named otherwise.
  const std::vector<Variable> variables_ = {{0, "x1", "", 0}, {1, "name", "", 1}, {2, "x2", "Second", 0},
                                            {3, "city", "", 1}, {4, "x3", "", 0}};
  std::unique_ptr<korvana::SharedInstances> instances_;
  std::unique_ptr<GeneralPage> general_;
  std::unique_ptr<OptionsPage> options_;
  std::unique_ptr<RequestBinding> binding_;
};

void RequestBindingTest::init() {
  instances_ = std::make_unique<korvana::SharedInstances>();
  general_ = std::make_unique<GeneralPage>();
  options_ = std::make_unique<OptionsPage>();
  general_->variableLists()->showVariables(variables_);
  general_->fillChoiceLists();
  binding_ = std::make_unique<RequestBinding>(*general_, *options_);
}

void RequestBindingTest::cleanup() {
  binding_.reset();
  general_.reset();
  options_.reset();
  instances_.reset();
}

void RequestBindingTest::restoredRequestIsCollectedUnchanged_data() {
  QTest::addColumn<bool>("cases");
  QTest::newRow("cases clustered") << true;
  QTest::newRow("variables clustered") << false;
}

void RequestBindingTest::restoredRequestIsCollectedUnchanged() {
  QFETCH(bool, cases);
  AnalysisRequest stored = everyChoiceChanged();
  stored.clusterView = cases ? korvana::ClusterView::cases : korvana::ClusterView::variables;
  binding_->restore(stored);
  AnalysisRequest expected = stored;
  // The label variable is restored either way but counts only for cases.
  if (!cases) expected.labelVariable.clear();
  QCOMPARE(binding_->collect(), expected);
  QCOMPARE(general_->variableLists()->labelVariableNames(), std::vector<std::string>({"city"}));
  QCOMPARE(general_->clusterMethodComboBox()->currentIndex(), 5);
  QVERIFY(general_->analyzesMatrixFile());
}

void RequestBindingTest::variablesComeBackByNameAndKind() {
  AnalysisRequest stored;
  // "city" is a string and "x1" numeric: neither may go where the other kind
  // belongs; "missing" is not in the data.
  stored.clusterVariables = {"city", "x2", "missing"};
  stored.labelVariable = "x1";
  binding_->restore(stored);
  QCOMPARE(captions(*general_, "clusterVariableListView"), QStringList({"Second [x2]"}));
  QCOMPARE(captions(*general_, "labelVariableListView"), QStringList());
  QCOMPARE(captions(*general_, "variableListView"), QStringList({"x1", "name", "city", "x3"}));
  const AnalysisRequest collected = binding_->collect();
  QCOMPARE(collected.clusterVariables, std::vector<std::string>({"x2"}));
  QCOMPARE(collected.labelVariable, std::string());
}

void RequestBindingTest::completenessFollowsTheRestoredChoices() {
  AnalysisRequest stored = everyChoiceChanged();
  restoreAnew(stored);
  QVERIFY(binding_->isComplete());

  // With the data, two cluster variables are needed.
  stored.analysisType = korvana::AnalysisType::data;
  restoreAnew(stored);
  QVERIFY(binding_->isComplete());
  stored.clusterVariables = {"x1"};
  restoreAnew(stored);
  QVERIFY(!binding_->isComplete());

  stored = everyChoiceChanged();
  stored.numberOfPermutations = 0;
  restoreAnew(stored);
  QVERIFY(!binding_->isComplete());
}

void RequestBindingTest::restoreAnew(const AnalysisRequest& stored) {
  general_->variableLists()->clearVariables();
  general_->variableLists()->showVariables(variables_);
  binding_->restore(stored);
}

QTEST_MAIN(RequestBindingTest)
#include "RequestBindingTest.moc"
