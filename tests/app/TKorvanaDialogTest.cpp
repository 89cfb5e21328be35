// The main dialog: start-up with and without data, the enabling rules, the
// move buttons, the validity rule behind OK and the input filters.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <memory>

#include "AppTestSupport.h"
#include "app/TKorvanaDialog.h"
#include "app/VariableListsWidget.h"
#include "output/Version.h"
#include "platform/host/MessageBoxes.h"

using korvana::app::TKorvanaDialog;
using korvana::app::VariableListsWidget;
using korvana::host::MessageAnswer;
using korvana::host::MessageIcon;

namespace {

/// The kinds of state a row of the enabling table starts from.
enum class Mode { dataCases, dataVariables, matrix };

}  // namespace

Q_DECLARE_METATYPE(Mode)

class TKorvanaDialogTest : public QObject {
  Q_OBJECT

 public:
  /// Captures what the desktop is asked to open.
  Q_INVOKABLE void openUrl(const QUrl& url) { opened_ << url; }

 private:
  template <class T>
  static T* control(const QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(name);
    if (found == nullptr) qFatal("no control %s", name);
    return found;
  }
  /// Moves the numeric variables with these captions into the cluster list.
  static void moveToCluster(TKorvanaDialog& dialog, const QStringList& names) {
    apptest::selectInList(control<QListWidget>(dialog, "variableListView"), names);
    control<QPushButton>(dialog, "clusterVariableMoveButton")->click();
  }

  QList<QUrl> opened_;

 private slots:
  void initTestCase() { apptest::keepQtSettingsBesideTheTests(); }
  void startsWithoutDataInMatrixMode();
  void refusesSplitFilesAtStart();
  void reportsAFailedConnection_data();
  void reportsAFailedConnection();
  void listsAreFilledWhenShown();
  void enablingRules_data();
  void enablingRules();
  void moveButtonsFollowTheFocusAndTheKindOfVariable();
  void movedVariablesKeepTheirOrder();
  void labelVariableRules();
  void okNeedsAValidRequest();
  void okNumberEdges_data();
  void okNumberEdges();
  void upDownArrowsStayInTheirRange();
  void inputFiltersDropOtherCharacters();
  void programmaticTextLeavesOkAlone();
  void collectsTheRequest();
  void helpOpensTheGuideAndAboutShowsTheVersion();
};

void TKorvanaDialogTest::startsWithoutDataInMatrixMode() {
  apptest::PackageFixture fixture("");
  TKorvanaDialog dialog;
  QVERIFY(!dialog.hasEnded());
  QVERIFY(apptest::showActive(dialog));
  QVERIFY(!dialog.hasData());
  QVERIFY(control<QRadioButton>(dialog, "analyzeMatrixRadioButton")->isChecked());
  QVERIFY(!control<QRadioButton>(dialog, "analyzeDataRadioButton")->isEnabled());
  QCOMPARE(control<QListWidget>(dialog, "variableListView")->count(), 0);
  QVERIFY(control<QLineEdit>(dialog, "matrixFilenameEdit")->isEnabled());
  QVERIFY(!control<QWidget>(dialog, "analyzeDataTabWidget")->isEnabled());
  QVERIFY(!control<QCheckBox>(dialog, "proximityMatrixCheckBox")->isEnabled());
  auto* ok = control<QPushButton>(dialog, "okButton");
  QVERIFY(!ok->isEnabled());
  control<QLineEdit>(dialog, "matrixFilenameEdit")->setText("matrix.sav");
  QVERIFY(ok->isEnabled());
  QVERIFY(fixture.boxes().shown().empty());
}

void TKorvanaDialogTest::refusesSplitFilesAtStart() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  fixture.package().setSplitVariables({"city"});
  TKorvanaDialog dialog;
  QVERIFY(dialog.hasEnded());
  QCOMPARE(fixture.boxes().shown().size(), std::size_t{1});
  const auto& box = fixture.boxes().shown().front();
  QCOMPARE(box.caption, std::string("Korvana"));
  QCOMPARE(box.text, std::string("Split File is not supported."));
  QCOMPARE(box.icon, MessageIcon::error);
}

void TKorvanaDialogTest::reportsAFailedConnection_data() {
  QTest::addColumn<bool>("running");
  QTest::addColumn<QString>("failingCall");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("message");
  const QString connection = "Could not connect to Spss, probably Spss is not running.";
  QTest::newRow("package not running") << false << "" << 0 << connection;
  QTest::newRow("failed call let pass") << true << "get_DataDocCount" << int(MessageAnswer::no) << connection;
  QTest::newRow("failed call stopped") << true << "GetSplitVariables" << int(MessageAnswer::yes) << "";
}

void TKorvanaDialogTest::reportsAFailedConnection() {
  QFETCH(bool, running);
  QFETCH(QString, failingCall);
  QFETCH(int, answer);
  QFETCH(QString, message);
  std::unique_ptr<apptest::PackageFixture> fixture = running
                                                         ? std::make_unique<apptest::PackageFixture>(apptest::smallDataCsv)
                                                         : std::make_unique<apptest::PackageFixture>();
  if (!failingCall.isEmpty()) {
    fixture->package().failNextCall(failingCall.toStdString(), korvana::automation::E_FAIL);
    fixture->boxes().scriptAnswer(MessageAnswer(answer));
  }
  TKorvanaDialog dialog;
  QVERIFY(dialog.hasEnded());
  const auto& shown = fixture->boxes().shown();
  QVERIFY(!shown.empty());
  const auto& last = shown.back();
  QCOMPARE(last.caption, std::string("Korvana"));
  QCOMPARE(last.icon, MessageIcon::error);
  if (!message.isEmpty()) {
    QCOMPARE(QString::fromStdString(last.text), message);
  } else {
    // Stopped at the check's prompt: the prompt's message names the call.
    QCOMPARE(shown.size(), std::size_t{2});
    QVERIFY(QString::fromStdString(last.text).contains(failingCall));
  }
}

void TKorvanaDialogTest::listsAreFilledWhenShown() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  auto* variables = control<QListWidget>(dialog, "variableListView");
  QCOMPARE(apptest::captions(variables), QStringList({"x1", "name", "x2", "x3", "city", "x4"}));
  QCOMPARE(variables->item(0)->toolTip(), QString("x1"));
  // Numeric variables carry image 0, string variables image 1.
  const auto& images = control<VariableListsWidget>(dialog, "variableListsWidget")->variableTypeIcons();
  QCOMPARE(variables->item(0)->icon().cacheKey(), images[0].cacheKey());
  QCOMPARE(variables->item(1)->icon().cacheKey(), images[1].cacheKey());
  QVERIFY(images[0].pixmap(16).toImage() != images[1].pixmap(16).toImage());

  auto* methods = control<QComboBox>(dialog, "clusterMethodComboBox");
  QCOMPARE(methods->count(), 7);
  QCOMPARE(methods->currentIndex(), 0);
  // What the lists show with no settings file is checked with the settings
  // (TKorvanaDialogRunTest).
  QCOMPARE(control<QComboBox>(dialog, "standardizeMethodComboBox")->currentText(), QString("None"));
  // With no cluster variables yet, OK waits.
  QVERIFY(!control<QPushButton>(dialog, "okButton")->isEnabled());
}

void TKorvanaDialogTest::enablingRules_data() {
  QTest::addColumn<Mode>("mode");
  QTest::addColumn<QString>("measure");   // radio button to click
  QTest::addColumn<int>("interval");      // interval measure position
  QTest::addColumn<int>("standardize");   // standardization position
  QTest::addColumn<bool>("customAndSave");
  QTest::addColumn<QStringList>("enabled");
  QTest::addColumn<QStringList>("disabled");

  const QStringList dataControls = {"clusterLabel", "clusterCasesRadioButton", "clusterVariablesRadioButton",
                                    "analyzeDataTabWidget", "variableListView", "variablesLabel",
                                    "clusterVariableListView", "intervalMeasureRadioButton",
                                    "countsMeasureRadioButton", "binaryMeasureRadioButton",
                                    "transformMeasuresAbsoluteValuesCheckBox", "transformMeasuresChangeSignCheckBox",
                                    "transformMeasuresRescaleCheckBox", "standardizeLabel", "proximityMatrixCheckBox"};
  const QStringList options = {"customSeedEdit", "customSeedHelpLabel", "permutationFitTableFilenameEdit",
                               "permutationFitTableFilenameBrowseButton"};
  const QStringList matrixFile = {"matrixFilenameEdit", "matrixFilenameBrowseButton"};

  QTest::newRow("data, cases, Euclidean, no standardization")
      << Mode::dataCases << "intervalMeasureRadioButton" << 0 << 0 << false
      << dataControls + QStringList{"labelCasesByLabel", "labelVariableListView", "intervalMeasureComboBox",
                                    "standardizeMethodComboBox"}
      << matrixFile + options +
             QStringList{"intervalMeasurePowerLabel", "intervalMeasurePowerComboBox", "intervalMeasureRootLabel",
                         "intervalMeasureRootComboBox", "countsMeasureComboBox", "binaryMeasureComboBox",
                         "binaryMeasurePresentLabel", "binaryMeasurePresentEdit", "binaryMeasureAbsentLabel",
                         "binaryMeasureAbsentEdit", "standardizeByVariableRadioButton",
                         "standardizeByCaseRadioButton"};
  QTest::newRow("data, variables, Minkowski, Z scores")
      << Mode::dataVariables << "intervalMeasureRadioButton" << 6 << 1 << false
      << dataControls + QStringList{"intervalMeasureComboBox", "intervalMeasurePowerLabel",
                                    "intervalMeasurePowerComboBox", "standardizeMethodComboBox",
                                    "standardizeByVariableRadioButton", "standardizeByCaseRadioButton"}
      << matrixFile + QStringList{"labelCasesByLabel", "labelVariableListView", "intervalMeasureRootLabel",
                                  "intervalMeasureRootComboBox", "countsMeasureComboBox", "binaryMeasureComboBox"};
  QTest::newRow("data, cases, customized")
      << Mode::dataCases << "intervalMeasureRadioButton" << 7 << 0 << false
      << QStringList{"intervalMeasurePowerLabel", "intervalMeasurePowerComboBox", "intervalMeasureRootLabel",
                     "intervalMeasureRootComboBox"}
      << QStringList{"standardizeByVariableRadioButton"};
  QTest::newRow("data, counts")
      << Mode::dataCases << "countsMeasureRadioButton" << 7 << 2 << false
      << QStringList{"countsMeasureComboBox", "standardizeMethodComboBox", "standardizeByCaseRadioButton"}
      << QStringList{"intervalMeasureComboBox", "intervalMeasurePowerComboBox", "intervalMeasureRootComboBox",
                     "binaryMeasureComboBox", "binaryMeasurePresentEdit"};
  QTest::newRow("data, binary, Z scores")
      << Mode::dataCases << "binaryMeasureRadioButton" << 0 << 1 << false
      << QStringList{"binaryMeasureComboBox", "binaryMeasurePresentLabel", "binaryMeasurePresentEdit",
                     "binaryMeasureAbsentLabel", "binaryMeasureAbsentEdit", "standardizeLabel"}
      << QStringList{"intervalMeasureComboBox", "countsMeasureComboBox", "standardizeMethodComboBox",
                     "standardizeByVariableRadioButton", "standardizeByCaseRadioButton"};
  QTest::newRow("matrix")
      << Mode::matrix << "intervalMeasureRadioButton" << 7 << 1 << false << matrixFile
      << dataControls + QStringList{"labelCasesByLabel", "labelVariableListView", "intervalMeasureComboBox",
                                    "intervalMeasurePowerComboBox", "standardizeMethodComboBox",
                                    "standardizeByVariableRadioButton"};
  QTest::newRow("custom seed and saved table")
      << Mode::matrix << "intervalMeasureRadioButton" << 0 << 0 << true << options << QStringList{};
}

void TKorvanaDialogTest::enablingRules() {
  QFETCH(Mode, mode);
  QFETCH(QString, measure);
  QFETCH(int, interval);
  QFETCH(int, standardize);
  QFETCH(bool, customAndSave);
  QFETCH(QStringList, enabled);
  QFETCH(QStringList, disabled);

  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  control<QComboBox>(dialog, "intervalMeasureComboBox")->setCurrentIndex(interval);
  control<QComboBox>(dialog, "standardizeMethodComboBox")->setCurrentIndex(standardize);
  control<QRadioButton>(dialog, measure.toLatin1().constData())->click();
  if (mode == Mode::dataVariables) control<QRadioButton>(dialog, "clusterVariablesRadioButton")->click();
  if (mode == Mode::matrix) control<QRadioButton>(dialog, "analyzeMatrixRadioButton")->click();
  if (customAndSave) {
    control<QRadioButton>(dialog, "customSeedRadioButton")->click();
    control<QCheckBox>(dialog, "savePermutationFitTableCheckBox")->click();
  }
  for (const QString& name : enabled)
    QVERIFY2(apptest::ownEnabled(control<QWidget>(dialog, name.toLatin1().constData())), qPrintable(name));
  for (const QString& name : disabled)
    QVERIFY2(!apptest::ownEnabled(control<QWidget>(dialog, name.toLatin1().constData())), qPrintable(name));

  // Back to the data: everything follows again.
  if (mode == Mode::matrix) {
    control<QRadioButton>(dialog, "analyzeDataRadioButton")->click();
    QVERIFY(!apptest::ownEnabled(control<QWidget>(dialog, "matrixFilenameEdit")));
    QVERIFY(apptest::ownEnabled(control<QWidget>(dialog, "variableListView")));
    QVERIFY(apptest::ownEnabled(control<QWidget>(dialog, "proximityMatrixCheckBox")));
  }
}

void TKorvanaDialogTest::moveButtonsFollowTheFocusAndTheKindOfVariable() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  auto* variables = control<QListWidget>(dialog, "variableListView");
  auto* cluster = control<QListWidget>(dialog, "clusterVariableListView");
  auto* label = control<QListWidget>(dialog, "labelVariableListView");
  auto* clusterMove = control<QPushButton>(dialog, "clusterVariableMoveButton");
  auto* labelMove = control<QPushButton>(dialog, "labelVariableMoveButton");

  // No list has the focus: nothing can move.
  QVERIFY(!clusterMove->isEnabled());
  QVERIFY(!labelMove->isEnabled());

  apptest::selectInList(variables, {"x1"});
  QCOMPARE(clusterMove->text(), QString(">>"));
  QVERIFY(clusterMove->isEnabled());
  QVERIFY(!labelMove->isEnabled());

  apptest::selectInList(variables, {"name"});
  QVERIFY(!clusterMove->isEnabled());
  QCOMPARE(labelMove->text(), QString(">>"));
  QVERIFY(labelMove->isEnabled());

  apptest::selectInList(variables, {"x1", "name"});
  QVERIFY(!clusterMove->isEnabled());
  QVERIFY(!labelMove->isEnabled());

  apptest::selectInList(variables, {"x1", "x3"});
  clusterMove->click();
  QCOMPARE(apptest::captions(cluster), QStringList({"x1", "x3"}));
  QCOMPARE(apptest::captions(variables), QStringList({"name", "x2", "city", "x4"}));
  // The focus went to the cluster list with the moved items selected.
  QVERIFY(cluster->hasFocus());
  QCOMPARE(cluster->selectedItems().size(), 2);
  QCOMPARE(clusterMove->text(), QString("<<"));
  QVERIFY(clusterMove->isEnabled());
  QVERIFY(!labelMove->isEnabled());

  // Entering another list clears the selections elsewhere.
  apptest::selectInList(variables, {"name"});
  QVERIFY(cluster->selectedItems().isEmpty());
  labelMove->click();
  QCOMPARE(apptest::captions(label), QStringList({"name"}));
  QVERIFY(label->hasFocus());
  QCOMPARE(labelMove->text(), QString("<<"));
  QVERIFY(labelMove->isEnabled());
  QVERIFY(!clusterMove->isEnabled());

  // Back again: the label returns to its dictionary position.
  labelMove->click();
  QVERIFY(label->count() == 0);
  QCOMPARE(apptest::captions(variables), QStringList({"name", "x2", "city", "x4"}));
  QVERIFY(variables->hasFocus());

  // Clustering variables: no case label can be moved in either direction.
  control<QRadioButton>(dialog, "clusterVariablesRadioButton")->click();
  apptest::selectInList(variables, {"city"});
  QVERIFY(!labelMove->isEnabled());
  QVERIFY(!label->isEnabled());
  control<QRadioButton>(dialog, "clusterCasesRadioButton")->click();
  apptest::selectInList(variables, {"city"});
  QVERIFY(labelMove->isEnabled());
}

void TKorvanaDialogTest::movedVariablesKeepTheirOrder() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  auto* variables = control<QListWidget>(dialog, "variableListView");
  auto* cluster = control<QListWidget>(dialog, "clusterVariableListView");
  auto* clusterMove = control<QPushButton>(dialog, "clusterVariableMoveButton");

  moveToCluster(dialog, {"x4"});
  moveToCluster(dialog, {"x2"});
  moveToCluster(dialog, {"x1", "x3"});
  QCOMPARE(apptest::captions(cluster), QStringList({"x4", "x2", "x1", "x3"}));

  // Moving back returns each to its dictionary position; the cluster list
  // keeps the order of the rest.
  apptest::selectInList(cluster, {"x2", "x3"});
  QVERIFY(clusterMove->isEnabled());
  clusterMove->click();
  QCOMPARE(apptest::captions(variables), QStringList({"name", "x2", "x3", "city"}));
  QCOMPARE(apptest::captions(cluster), QStringList({"x4", "x1"}));
  apptest::selectInList(cluster, {"x4"});
  clusterMove->click();
  QCOMPARE(apptest::captions(variables), QStringList({"name", "x2", "x3", "city", "x4"}));
  QCOMPARE(dialog.collectRequest().clusterVariables, std::vector<std::string>({"x1"}));
}

void TKorvanaDialogTest::labelVariableRules() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  auto* variables = control<QListWidget>(dialog, "variableListView");
  auto* label = control<QListWidget>(dialog, "labelVariableListView");
  auto* labelMove = control<QPushButton>(dialog, "labelVariableMoveButton");

  // A numeric variable cannot become the case label.
  apptest::selectInList(variables, {"x2"});
  QVERIFY(!labelMove->isEnabled());

  apptest::selectInList(variables, {"city"});
  labelMove->click();
  QCOMPARE(dialog.collectRequest().labelVariable, std::string("city"));
  // A second label variable may be moved; then none is used.
  apptest::selectInList(variables, {"name"});
  QVERIFY(labelMove->isEnabled());
  labelMove->click();
  QCOMPARE(apptest::captions(label), QStringList({"city", "name"}));
  QCOMPARE(dialog.collectRequest().labelVariable, std::string());
  // With one label again but Variables chosen, it is not used either.
  label->setFocus();
  label->setCurrentRow(1);
  label->item(1)->setSelected(true);
  labelMove->click();
  QCOMPARE(apptest::captions(label), QStringList({"city"}));
  control<QRadioButton>(dialog, "clusterVariablesRadioButton")->click();
  QCOMPARE(dialog.collectRequest().labelVariable, std::string());
}

void TKorvanaDialogTest::okNeedsAValidRequest() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  auto* ok = control<QPushButton>(dialog, "okButton");

  moveToCluster(dialog, {"x1"});
  QVERIFY(!ok->isEnabled());
  moveToCluster(dialog, {"x2"});
  QVERIFY(ok->isEnabled());

  // Binary values count only under Binary.
  auto* present = control<QLineEdit>(dialog, "binaryMeasurePresentEdit");
  auto* absent = control<QLineEdit>(dialog, "binaryMeasureAbsentEdit");
  control<QRadioButton>(dialog, "binaryMeasureRadioButton")->click();
  apptest::typeInto(present, "-");
  QVERIFY(!ok->isEnabled());
  apptest::typeInto(present, "-7");
  QVERIFY(ok->isEnabled());
  apptest::typeInto(absent, "");
  QVERIFY(!ok->isEnabled());
  control<QRadioButton>(dialog, "intervalMeasureRadioButton")->click();
  QVERIFY(ok->isEnabled());
  control<QRadioButton>(dialog, "binaryMeasureRadioButton")->click();
  QVERIFY(!ok->isEnabled());
  apptest::typeInto(absent, "0");
  QVERIFY(ok->isEnabled());

  // A saved table needs a name that is not only blanks.
  auto* save = control<QCheckBox>(dialog, "savePermutationFitTableCheckBox");
  auto* table = control<QLineEdit>(dialog, "permutationFitTableFilenameEdit");
  save->click();
  QVERIFY(!ok->isEnabled());
  apptest::typeInto(table, "   ");
  QVERIFY(!ok->isEnabled());
  apptest::typeInto(table, " fit ");
  QVERIFY(ok->isEnabled());
  save->click();
  apptest::typeInto(table, "");
  QVERIFY(ok->isEnabled());

  // The matrix mode needs a file name instead of the variables.
  control<QRadioButton>(dialog, "analyzeMatrixRadioButton")->click();
  QVERIFY(!ok->isEnabled());
  control<QLineEdit>(dialog, "matrixFilenameEdit")->setText("  ");
  QVERIFY(!ok->isEnabled());
  control<QLineEdit>(dialog, "matrixFilenameEdit")->setText("m.sav");
  QVERIFY(ok->isEnabled());
}

void TKorvanaDialogTest::okNumberEdges_data() {
  QTest::addColumn<QString>("edit");
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("valid");
  QTest::newRow("one permutation") << "nrOfPermutationsEdit" << "1" << true;
  QTest::newRow("zero permutations") << "nrOfPermutationsEdit" << "0" << false;
  QTest::newRow("no permutations") << "nrOfPermutationsEdit" << "" << false;
  QTest::newRow("above the arrows' range") << "nrOfPermutationsEdit" << "32768" << true;
  QTest::newRow("largest whole number") << "nrOfPermutationsEdit" << "2147483647" << true;
  QTest::newRow("beyond 32 bits") << "nrOfPermutationsEdit" << "2147483648" << false;
  QTest::newRow("lowest seed") << "customSeedEdit" << "-2147483648" << true;
  QTest::newRow("below the lowest seed") << "customSeedEdit" << "-2147483649" << false;
  QTest::newRow("highest seed") << "customSeedEdit" << "2147483647" << true;
  QTest::newRow("above the highest seed") << "customSeedEdit" << "2147483648" << false;
  QTest::newRow("empty seed") << "customSeedEdit" << "" << false;
  QTest::newRow("sign only") << "customSeedEdit" << "-" << false;
  QTest::newRow("two signs") << "customSeedEdit" << "--5" << false;
}

void TKorvanaDialogTest::okNumberEdges() {
  QFETCH(QString, edit);
  QFETCH(QString, text);
  QFETCH(bool, valid);
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  moveToCluster(dialog, {"x1", "x2"});
  control<QRadioButton>(dialog, "customSeedRadioButton")->click();
  apptest::typeInto(control<QLineEdit>(dialog, "customSeedEdit"), "12");
  QVERIFY(control<QPushButton>(dialog, "okButton")->isEnabled());
  apptest::typeInto(control<QLineEdit>(dialog, edit.toLatin1().constData()), text);
  QCOMPARE(control<QPushButton>(dialog, "okButton")->isEnabled(), valid);
  // Under Random seed the custom seed does not count.
  if (edit == "customSeedEdit") {
    control<QRadioButton>(dialog, "randomSeedRadioButton")->click();
    QVERIFY(control<QPushButton>(dialog, "okButton")->isEnabled());
  }
}

void TKorvanaDialogTest::upDownArrowsStayInTheirRange() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  auto* edit = control<QLineEdit>(dialog, "nrOfPermutationsEdit");
  auto* up = control<QToolButton>(dialog, "nrOfPermutationsUpButton");
  auto* down = control<QToolButton>(dialog, "nrOfPermutationsDownButton");
  QVERIFY(up->parentWidget() == control<QWidget>(dialog, "nrOfPermutationsUpDown"));
  apptest::typeInto(edit, "1");
  down->click();
  QCOMPARE(edit->text(), QString("1"));
  up->click();
  up->click();
  QCOMPARE(edit->text(), QString("3"));
  apptest::typeInto(edit, "50000");
  up->click();
  QCOMPARE(edit->text(), QString("32767"));
  down->click();
  QCOMPARE(edit->text(), QString("32766"));
  // An empty edit disables OK; an arrow makes it valid again.
  moveToCluster(dialog, {"x1", "x2"});
  apptest::typeInto(edit, "");
  QVERIFY(!control<QPushButton>(dialog, "okButton")->isEnabled());
  up->click();
  QCOMPARE(edit->text(), QString("2"));
  QVERIFY(control<QPushButton>(dialog, "okButton")->isEnabled());
}

void TKorvanaDialogTest::inputFiltersDropOtherCharacters() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  control<QRadioButton>(dialog, "customSeedRadioButton")->click();
  control<QRadioButton>(dialog, "binaryMeasureRadioButton")->click();

  auto* permutations = control<QLineEdit>(dialog, "nrOfPermutationsEdit");
  apptest::typeInto(permutations, "1a2-3.4 5+e");
  QCOMPARE(permutations->text(), QString("12345"));
  QTest::keyClick(permutations, Qt::Key_Backspace);
  QCOMPARE(permutations->text(), QString("1234"));
  QTest::keyClick(permutations, Qt::Key_Home);
  QTest::keyClick(permutations, Qt::Key_Delete);
  QCOMPARE(permutations->text(), QString("234"));

  for (const char* name : {"binaryMeasurePresentEdit", "binaryMeasureAbsentEdit", "customSeedEdit"}) {
    auto* edit = control<QLineEdit>(dialog, name);
    apptest::typeInto(edit, "-1x2,3 e4-");
    QCOMPARE(edit->text(), QString("-1234-"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QString("-1234"));
  }
  // The file name edits take any text.
  auto* matrix = control<QLineEdit>(dialog, "matrixFilenameEdit");
  control<QRadioButton>(dialog, "analyzeMatrixRadioButton")->click();
  apptest::typeInto(matrix, "a b.sav");
  QCOMPARE(matrix->text(), QString("a b.sav"));
}

void TKorvanaDialogTest::programmaticTextLeavesOkAlone() {
  // OK follows the number edits only when the user changed them.
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  moveToCluster(dialog, {"x1", "x2"});
  auto* ok = control<QPushButton>(dialog, "okButton");
  auto* permutations = control<QLineEdit>(dialog, "nrOfPermutationsEdit");
  permutations->setText("0");
  QVERIFY(ok->isEnabled());
  apptest::typeInto(permutations, "0");
  QVERIFY(!ok->isEnabled());
  dialog.updateOkButton();
  QVERIFY(!ok->isEnabled());
}

void TKorvanaDialogTest::collectsTheRequest() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  moveToCluster(dialog, {"x3"});
  moveToCluster(dialog, {"x1"});
  apptest::selectInList(control<QListWidget>(dialog, "variableListView"), {"name"});
  control<QPushButton>(dialog, "labelVariableMoveButton")->click();
  control<QComboBox>(dialog, "clusterMethodComboBox")->setCurrentIndex(6);
  apptest::typeInto(control<QLineEdit>(dialog, "nrOfPermutationsEdit"), "");
  control<QRadioButton>(dialog, "countsMeasureRadioButton")->click();
  control<QComboBox>(dialog, "intervalMeasurePowerComboBox")->setCurrentIndex(3);
  control<QComboBox>(dialog, "standardizeMethodComboBox")->setCurrentIndex(2);
  control<QRadioButton>(dialog, "standardizeByCaseRadioButton")->click();
  control<QCheckBox>(dialog, "transformMeasuresRescaleCheckBox")->click();
  control<QRadioButton>(dialog, "customSeedRadioButton")->click();
  apptest::typeInto(control<QLineEdit>(dialog, "customSeedEdit"), "-");
  control<QCheckBox>(dialog, "firstPermIsIdentityCheckBox")->click();
  control<QCheckBox>(dialog, "dendrogramCheckBox")->click();
  control<QCheckBox>(dialog, "agglomerationScheduleCheckBox")->click();
  control<QLineEdit>(dialog, "permutationFitTableFilenameEdit")->setText("fits");

  const korvana::AnalysisRequest request = dialog.collectRequest();
  QCOMPARE(request.clusterMethod, 6);
  QCOMPARE(request.numberOfPermutations, 100);  // an empty edit gives the fallback
  QCOMPARE(request.analysisType, korvana::AnalysisType::data);
  QCOMPARE(request.clusterView, korvana::ClusterView::cases);
  QCOMPARE(request.clusterVariables, std::vector<std::string>({"x3", "x1"}));
  QCOMPARE(request.labelVariable, std::string("name"));
  QCOMPARE(request.selectedMeasure, 1);
  QCOMPARE(request.intervalMeasure, 0);
  QCOMPARE(request.intervalMeasurePower, 3);
  QCOMPARE(request.standardiseMethod, 2);
  QCOMPARE(request.standardiseView, 0);
  QVERIFY(request.rescale && !request.absoluteValues && !request.changeSign);
  QCOMPARE(request.seedType, korvana::SeedType::custom);
  QCOMPARE(request.seed, 4000000);  // "-" does not convert
  QVERIFY(!request.firstPermutationIdentity);
  QVERIFY(request.dendrogram && !request.agglomerationSchedule);
  QVERIFY(!request.savePermutationFitTable);
  QCOMPARE(request.permutationFitTableFilename, std::string("fits"));
}

void TKorvanaDialogTest::helpOpensTheGuideAndAboutShowsTheVersion() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  opened_.clear();
  QDesktopServices::setUrlHandler("file", this, "openUrl");
  control<QAction>(dialog, "helpMenuKorvanaHelpItem")->trigger();
  QDesktopServices::unsetUrlHandler("file");
  QCOMPARE(opened_.size(), 1);
  const QString guide = opened_.front().toLocalFile();
  QVERIFY2(guide.endsWith("/Korvana 1.0 User's Guide.pdf"), qPrintable(guide));
  QCOMPARE(guide, QString::fromStdString(korvana::Version::getProgramFolder()) + "Korvana 1.0 User's Guide.pdf");

  QString title, version;
  QTimer::singleShot(0, [&] {
    QWidget* about = QApplication::activeModalWidget();
    if (about == nullptr) return;
    title = about->windowTitle() + "|" + about->findChild<QLabel*>("titleLabel")->text();
    version = about->findChild<QLabel*>("versionValueLabel")->text();
    about->findChild<QPushButton*>("okButton")->click();
  });
  control<QAction>(dialog, "helpMenuAboutItem")->trigger();
  QCOMPARE(title, QString("About Korvana|Korvana 1.0"));
  QCOMPARE(version, QString("1.0 (Build 39)"));
  QVERIFY(!dialog.hasEnded());
}

QTEST_MAIN(TKorvanaDialogTest)
#include "TKorvanaDialogTest.moc"
