// OK and the settings file: the questions before a run, the run itself, and
// the choices the dialog remembers from one start to the next.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <ctime>
#include <optional>

#include "AppTestSupport.h"
#include "app/TKorvanaDialog.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"
#include "platform/host/MessageBoxes.h"

using korvana::app::TKorvanaDialog;
using korvana::host::MessageAnswer;
using korvana::host::MessageButtons;
using korvana::host::MessageIcon;

namespace {

template <class T>
T* control(const QWidget& dialog, const char* name) {
  T* found = dialog.findChild<T*>(name);
  if (found == nullptr) qFatal("no control %s", name);
  return found;
}

QString readText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

void writeText(const QString& path, const QString& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
  file.write(text.toUtf8());
}

void moveToCluster(TKorvanaDialog& dialog, const QStringList& names) {
  apptest::selectInList(control<QListWidget>(dialog, "variableListView"), names);
  control<QPushButton>(dialog, "clusterVariableMoveButton")->click();
}

/// x1, x2 and x3 to be clustered, five permutations, custom seed 2024.
void prepareSmallRun(TKorvanaDialog& dialog) {
  moveToCluster(dialog, {"x1", "x2", "x3"});
  apptest::typeInto(control<QLineEdit>(dialog, "nrOfPermutationsEdit"), "5");
  control<QRadioButton>(dialog, "customSeedRadioButton")->click();
  apptest::typeInto(control<QLineEdit>(dialog, "customSeedEdit"), "2024");
}

std::string boxTexts(apptest::PackageFixture& fixture) {
  std::string texts;
  for (const auto& box : fixture.boxes().shown()) texts += box.caption + ": " + box.text + "\n";
  return texts;
}

QString outputText(apptest::PackageFixture& fixture) {
  return QString::fromStdString(korvana::spss::renderText(fixture.package().outputDocument()->model()));
}

QString outputJson(apptest::PackageFixture& fixture) {
  return QString::fromStdString(korvana::spss::renderJson(fixture.package().outputDocument()->model()));
}

/// The Notes table (hidden) somewhere in the JSON rendering.
QJsonObject findNotes(const QJsonValue& value) {
  if (value.isObject()) {
    const QJsonObject object = value.toObject();
    if (object.value("title") == "Notes" && object.contains("cells")) return object;
    for (const QJsonValue& child : object)
      if (QJsonObject found = findNotes(child); !found.isEmpty()) return found;
  } else if (value.isArray()) {
    for (const QJsonValue& child : value.toArray())
      if (QJsonObject found = findNotes(child); !found.isEmpty()) return found;
  }
  return {};
}

/// The value of a row of the Notes table.
QString notesValue(const QString& json, const QString& caption) {
  const QJsonObject notes = findNotes(QJsonDocument::fromJson(json.toUtf8()).object());
  const QJsonArray rows = notes.value("rowLabels").toArray();
  for (qsizetype row = 0; row < rows.size(); ++row) {
    const QJsonArray label = rows[row].toArray();
    if (!label.isEmpty() && label.last().toObject().value("text").toString().trimmed() == caption)
      return notes.value("cells").toArray()[row].toArray()[0].toObject().value("shown").toString();
  }
  return "<no row " + caption + ">";
}

}  // namespace

class TKorvanaDialogRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { apptest::keepQtSettingsBesideTheTests(); }
  void firstStartShowsTheDefaults();
  void storedSettingsAreApplied();
  void settingsRoundTripThroughTheWidgets();
  void cancelAndExitWriteNothing_data();
  void cancelAndExitWriteNothing();
  void anUnwritableSettingsFolderDoesNotStopTheRun();
  void aFreshAccountGetsItsConfigurationFolder();
  void overwriteQuestion_data();
  void overwriteQuestion();
  void methodWarning_data();
  void methodWarning();
  void randomSeedUsesTheClock();
  void endToEndAndTheSameOutputInBatch();
  void theDrawingsFolderIsChosenUnderFile();
};

// File > Save Drawings as SVG asks for a folder and remembers it, checked;
// a cancelled prompt forgets it.
void TKorvanaDialogRunTest::theDrawingsFolderIsChosenUnderFile() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  std::optional<QString> answer = QDir(fixture.folder()).absoluteFilePath("figures");
  dialog.setFilePrompt([&](QFileDialog& prompt) -> std::optional<QString> {
    [&] {
      QCOMPARE(prompt.windowTitle(), QString("Save Drawings as SVG"));
      QCOMPARE(prompt.fileMode(), QFileDialog::Directory);
    }();
    return answer;
  });
  QVERIFY(apptest::showActive(dialog));
  auto* item = control<QAction>(dialog, "fileMenuSaveDrawingsItem");
  item->trigger();
  QCOMPARE(QString::fromStdString(dialog.drawingsFolder()), *answer);
  QVERIFY(item->isChecked());
  answer.reset();
  item->trigger();
  QVERIFY(dialog.drawingsFolder().empty());
  QVERIFY(!item->isChecked());
}

void TKorvanaDialogRunTest::firstStartShowsTheDefaults() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  QCOMPARE(control<QComboBox>(dialog, "clusterMethodComboBox")->currentIndex(), 0);
  QCOMPARE(control<QLineEdit>(dialog, "nrOfPermutationsEdit")->text(), QString("100"));
  QVERIFY(control<QRadioButton>(dialog, "analyzeDataRadioButton")->isChecked());
  QVERIFY(control<QRadioButton>(dialog, "clusterCasesRadioButton")->isChecked());
  QVERIFY(control<QRadioButton>(dialog, "intervalMeasureRadioButton")->isChecked());
  QCOMPARE(control<QComboBox>(dialog, "intervalMeasureComboBox")->currentText(), QString("Euclidean distance"));
  QCOMPARE(control<QComboBox>(dialog, "intervalMeasurePowerComboBox")->currentText(), QString("2"));
  QCOMPARE(control<QComboBox>(dialog, "intervalMeasureRootComboBox")->currentText(), QString("2"));
  QCOMPARE(control<QComboBox>(dialog, "countsMeasureComboBox")->currentIndex(), 0);
  QCOMPARE(control<QComboBox>(dialog, "binaryMeasureComboBox")->currentIndex(), 0);
  QCOMPARE(control<QLineEdit>(dialog, "binaryMeasurePresentEdit")->text(), QString("1"));
  QCOMPARE(control<QLineEdit>(dialog, "binaryMeasureAbsentEdit")->text(), QString("0"));
  QCOMPARE(control<QComboBox>(dialog, "standardizeMethodComboBox")->currentIndex(), 0);
  QVERIFY(control<QRadioButton>(dialog, "standardizeByVariableRadioButton")->isChecked());
  QVERIFY(control<QCheckBox>(dialog, "firstPermIsIdentityCheckBox")->isChecked());
  QVERIFY(control<QRadioButton>(dialog, "randomSeedRadioButton")->isChecked());
  QCOMPARE(control<QLineEdit>(dialog, "customSeedEdit")->text(), QString("4000000"));
  for (const char* name : {"proximityMatrixCheckBox", "permutationFitCheckBox", "objectOrderCheckBox",
                           "dendrogramCheckBox", "savePermutationFitTableCheckBox"})
    QVERIFY2(!control<QCheckBox>(dialog, name)->isChecked(), name);
  QVERIFY(control<QCheckBox>(dialog, "agglomerationScheduleCheckBox")->isChecked());
  QCOMPARE(control<QListWidget>(dialog, "variableListView")->count(), 6);
  QVERIFY(!QFile::exists(fixture.settingsPath()));
}

// A file written by hand: hexadecimal and out-of-range values, a data set
// whose "name" is now a string variable, a label restored under Variables.
void TKorvanaDialogRunTest::storedSettingsAreApplied() {
  {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  writeText(fixture.settingsPath(),
            "[General]\n"
            "Cluster Method=99\n"
            "Number of Permutations=0x10\n"
            "Analysis Type=2\n"
            "Cluster View=2\n"
            "Cluster Variables=x3:name:missing:x1\n"
            "Label Variable=city\n"
            "Selected Measure=7\n"
            "Interval Measure Power=4\n"
            "Interval Measure Root=-1\n"
            "Binary Measure=3\n"
            "Binary Measure Present=abc\n"
            "Absolute Values=5\n"
            "Standardise View=0\n"
            "Standardise Method=2\n"
            "[Options]\n"
            "Fist Permutation Identity=0\n"
            "Seed=-17\n"
            "Seed Type=3\n"
            "Agglomeration Schedule=0\n"
            "Dendrogram=1\n");
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  QCOMPARE(control<QComboBox>(dialog, "clusterMethodComboBox")->currentIndex(), 0);
  QCOMPARE(control<QLineEdit>(dialog, "nrOfPermutationsEdit")->text(), QString("16"));
  QVERIFY(control<QRadioButton>(dialog, "clusterVariablesRadioButton")->isChecked());
  QCOMPARE(apptest::captions(control<QListWidget>(dialog, "clusterVariableListView")), QStringList({"x3", "x1"}));
  QCOMPARE(apptest::captions(control<QListWidget>(dialog, "labelVariableListView")), QStringList({"city"}));
  QVERIFY(!control<QListWidget>(dialog, "labelVariableListView")->isEnabled());
  QCOMPARE(apptest::captions(control<QListWidget>(dialog, "variableListView")), QStringList({"name", "x2", "x4"}));
  QVERIFY(control<QRadioButton>(dialog, "binaryMeasureRadioButton")->isChecked());
  QCOMPARE(control<QComboBox>(dialog, "intervalMeasurePowerComboBox")->currentIndex(), 1);  // out of range
  QCOMPARE(control<QComboBox>(dialog, "intervalMeasureRootComboBox")->currentIndex(), 1);   // out of range
  QCOMPARE(control<QComboBox>(dialog, "binaryMeasureComboBox")->currentIndex(), 3);
  QCOMPARE(control<QLineEdit>(dialog, "binaryMeasurePresentEdit")->text(), QString("1"));
  QVERIFY(control<QCheckBox>(dialog, "transformMeasuresAbsoluteValuesCheckBox")->isChecked());
  QCOMPARE(control<QComboBox>(dialog, "standardizeMethodComboBox")->currentIndex(), 2);
  QVERIFY(control<QRadioButton>(dialog, "standardizeByCaseRadioButton")->isChecked());
  QVERIFY(!control<QCheckBox>(dialog, "firstPermIsIdentityCheckBox")->isChecked());
  QVERIFY(control<QRadioButton>(dialog, "customSeedRadioButton")->isChecked());
  QCOMPARE(control<QLineEdit>(dialog, "customSeedEdit")->text(), QString("-17"));
  QVERIFY(control<QLineEdit>(dialog, "customSeedEdit")->isEnabled());
  QVERIFY(!control<QCheckBox>(dialog, "agglomerationScheduleCheckBox")->isChecked());
  QVERIFY(control<QCheckBox>(dialog, "dendrogramCheckBox")->isChecked());
  // The enabling rules ran after the settings: two variables make OK valid.
  QVERIFY(control<QPushButton>(dialog, "okButton")->isEnabled());
  }
  // Any analysis type other than 2 means a matrix file (one package at a
  // time: the first has been shut down).
  apptest::PackageFixture matrixFixture(apptest::smallDataCsv);
  writeText(matrixFixture.settingsPath(), "[General]\nAnalysis Type=0\nMatrix Filename=prox.sav\n");
  TKorvanaDialog matrixDialog;
  QVERIFY(apptest::showActive(matrixDialog));
  QVERIFY(control<QRadioButton>(matrixDialog, "analyzeMatrixRadioButton")->isChecked());
  QCOMPARE(control<QLineEdit>(matrixDialog, "matrixFilenameEdit")->text(), QString("prox.sav"));
}

// Choices made through the widgets, OK, and a second start shows them again;
// keys of other programs survive.
void TKorvanaDialogRunTest::settingsRoundTripThroughTheWidgets() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  writeText(fixture.settingsPath(), "[General]\nWindow Left=12\n[Extra]\nkept=yes\n");
  QDir::setCurrent(fixture.folder());
  korvana::AnalysisRequest chosen;
  {
    TKorvanaDialog dialog;
    QVERIFY(apptest::showActive(dialog));
    moveToCluster(dialog, {"x4"});
    moveToCluster(dialog, {"x2"});
    apptest::selectInList(control<QListWidget>(dialog, "variableListView"), {"city"});
    control<QPushButton>(dialog, "labelVariableMoveButton")->click();
    control<QComboBox>(dialog, "clusterMethodComboBox")->setCurrentIndex(3);
    apptest::typeInto(control<QLineEdit>(dialog, "nrOfPermutationsEdit"), "7");
    control<QComboBox>(dialog, "intervalMeasureComboBox")->setCurrentIndex(7);
    control<QComboBox>(dialog, "intervalMeasurePowerComboBox")->setCurrentIndex(2);
    control<QComboBox>(dialog, "intervalMeasureRootComboBox")->setCurrentIndex(3);
    control<QComboBox>(dialog, "countsMeasureComboBox")->setCurrentIndex(1);
    control<QComboBox>(dialog, "binaryMeasureComboBox")->setCurrentIndex(2);
    control<QRadioButton>(dialog, "binaryMeasureRadioButton")->click();
    apptest::typeInto(control<QLineEdit>(dialog, "binaryMeasurePresentEdit"), "3");
    apptest::typeInto(control<QLineEdit>(dialog, "binaryMeasureAbsentEdit"), "-2");
    control<QRadioButton>(dialog, "intervalMeasureRadioButton")->click();
    control<QCheckBox>(dialog, "transformMeasuresRescaleCheckBox")->click();
    control<QCheckBox>(dialog, "transformMeasuresChangeSignCheckBox")->click();
    control<QComboBox>(dialog, "standardizeMethodComboBox")->setCurrentIndex(1);
    control<QRadioButton>(dialog, "standardizeByCaseRadioButton")->click();
    control<QCheckBox>(dialog, "firstPermIsIdentityCheckBox")->click();
    control<QRadioButton>(dialog, "customSeedRadioButton")->click();
    apptest::typeInto(control<QLineEdit>(dialog, "customSeedEdit"), "-99");
    for (const char* name : {"proximityMatrixCheckBox", "permutationFitCheckBox", "objectOrderCheckBox",
                             "agglomerationScheduleCheckBox", "dendrogramCheckBox", "savePermutationFitTableCheckBox"})
      control<QCheckBox>(dialog, name)->click();
    apptest::typeInto(control<QLineEdit>(dialog, "permutationFitTableFilenameEdit"), "fits");
    chosen = dialog.collectRequest();
    control<QPushButton>(dialog, "okButton")->click();
    QVERIFY(dialog.hasRun());
    QVERIFY(dialog.hasEnded());
    QVERIFY(!dialog.isVisible());
  }
  QVERIFY2(fixture.boxes().shown().empty(), boxTexts(fixture).c_str());
  QVERIFY(QFile::exists(fixture.folder() + "/fits.sav"));

  const QString file = readText(fixture.settingsPath());
  QVERIFY2(file.contains("Window Left=12\n") && file.contains("[Extra]\nkept=yes\n"), qPrintable(file));
  QVERIFY2(file.contains("Cluster Variables=x4:x2\n") && file.contains("Label Variable=city\n"), qPrintable(file));
  QVERIFY2(file.contains("Permutation Fit Table Filename=fits.sav\n"), qPrintable(file));
  // Every key in its place; the file name, written last, joins General.
  const QStringList order = {"Cluster Method=3",      "Number of Permutations=7", "Analysis Type=2",
                             "Matrix Filename=",      "Cluster View=1",           "Selected Measure=0",
                             "Interval Measure=7",    "Interval Measure Power=2", "Interval Measure Root=3",
                             "Counts Measure=1",      "Binary Measure=2",         "Binary Measure Present=3",
                             "Binary Measure Absent=-2", "Absolute Values=0",     "Change Sign=1",
                             "Rescale=1",             "Standardise Method=1",     "Standardise View=0",
                             "Fist Permutation Identity=0", "Seed Type=1",        "Seed=-99",
                             "Proximity Matrix=1",    "Permutation Fit=1",        "Object Order=1",
                             "Agglomeration Schedule=0", "Dendrogram=1",          "Save Permutation Fit Table=1"};
  qsizetype at = 0;
  for (const QString& line : order) {
    const qsizetype found = file.indexOf("\n" + line + "\n", at);
    QVERIFY2(found >= at, qPrintable(line + " out of order in\n" + file));
    at = found;
  }
  QVERIFY(file.indexOf("Permutation Fit Table Filename=") < file.indexOf("[Options]"));

  TKorvanaDialog again;
  QVERIFY(apptest::showActive(again));
  chosen.permutationFitTableFilename = "fits.sav";
  QCOMPARE(again.collectRequest(), chosen);
  QCOMPARE(apptest::captions(control<QListWidget>(again, "variableListView")),
           QStringList({"x1", "name", "x3"}));
}

void TKorvanaDialogRunTest::cancelAndExitWriteNothing_data() {
  QTest::addColumn<bool>("exitItem");
  QTest::addColumn<bool>("fileBefore");
  QTest::newRow("Cancel, no file") << false << false;
  QTest::newRow("Cancel, a file") << false << true;
  QTest::newRow("File > Exit, a file") << true << true;
}

void TKorvanaDialogRunTest::cancelAndExitWriteNothing() {
  QFETCH(bool, exitItem);
  QFETCH(bool, fileBefore);
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  const QString before = "[General]\nCluster Method=2\n";
  if (fileBefore) writeText(fixture.settingsPath(), before);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  prepareSmallRun(dialog);
  control<QComboBox>(dialog, "clusterMethodComboBox")->setCurrentIndex(5);
  if (exitItem) {
    dialog.findChild<QAction*>("fileMenuExitItem")->trigger();
  } else {
    control<QPushButton>(dialog, "cancelButton")->click();
  }
  QVERIFY(dialog.hasEnded());
  QVERIFY(!dialog.hasRun());
  if (fileBefore) {
    QCOMPARE(readText(fixture.settingsPath()), before);
  } else {
    QVERIFY(!QFile::exists(fixture.settingsPath()));
  }
}

void TKorvanaDialogRunTest::anUnwritableSettingsFolderDoesNotStopTheRun() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  // A folder below a plain file cannot exist, whoever runs the test.
  writeText(fixture.folder() + "/plain", "");
  qputenv("XDG_CONFIG_HOME", (fixture.folder() + "/plain/config").toLocal8Bit());
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  prepareSmallRun(dialog);
  control<QPushButton>(dialog, "okButton")->click();
  QVERIFY(dialog.hasRun());
  QVERIFY(dialog.hasEnded());
  const auto& shown = fixture.boxes().shown();
  QCOMPARE(shown.size(), std::size_t{1});
  QCOMPARE(shown[0].caption, std::string("Korvana"));
  QCOMPARE(shown[0].icon, MessageIcon::error);
  QVERIFY2(QString::fromStdString(shown[0].text).contains("plain/config/Korvana.ini"), shown[0].text.c_str());
  QVERIFY(outputText(fixture).contains("Agglomeration Schedule"));
}

void TKorvanaDialogRunTest::aFreshAccountGetsItsConfigurationFolder() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  const QString config = fixture.folder() + "/home/.config";
  qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  prepareSmallRun(dialog);
  control<QPushButton>(dialog, "okButton")->click();
  QVERIFY(dialog.hasRun());
  QCOMPARE(fixture.boxes().shown().size(), std::size_t{0});
  QVERIFY(QFile::exists(config + "/Korvana.ini"));
  QCOMPARE(QFileInfo(config).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions{});
}

void TKorvanaDialogRunTest::overwriteQuestion_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("picked");  // from the save prompt; empty: cancelled
  QTest::addColumn<QString>("savedAs");  // empty: no run
  QTest::newRow("Yes") << "fits" << int(MessageAnswer::yes) << "" << "fits.sav";
  QTest::newRow("No, another file") << "fits" << int(MessageAnswer::no) << "other.sav" << "other.sav";
  QTest::newRow("No, prompt cancelled") << "fits" << int(MessageAnswer::no) << "" << "";
  QTest::newRow("closed") << "fits.sav" << int(MessageAnswer::closed) << "" << "";
}

void TKorvanaDialogRunTest::overwriteQuestion() {
  QFETCH(QString, typed);
  QFETCH(int, answer);
  QFETCH(QString, picked);
  QFETCH(QString, savedAs);
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  QDir::setCurrent(fixture.folder());
  writeText("fits.sav", "old");
  TKorvanaDialog dialog;
  int prompts = 0;
  dialog.setFilePrompt([&](QFileDialog& prompt) -> std::optional<QString> {
    ++prompts;
    [&] {
      QCOMPARE(prompt.windowTitle(), QString("Save Permutation Fit Table"));
      QCOMPARE(prompt.nameFilters(), QStringList({"SPSS (*.sav)"}));
      QCOMPARE(prompt.defaultSuffix(), QString("sav"));
      QCOMPARE(prompt.acceptMode(), QFileDialog::AcceptSave);
      QVERIFY(!prompt.testOption(QFileDialog::DontConfirmOverwrite));
      QCOMPARE(prompt.selectedFiles().value(0), QDir(fixture.folder()).absoluteFilePath("fits.sav"));
    }();
    if (picked.isEmpty()) return std::nullopt;
    return QDir(fixture.folder()).absoluteFilePath(picked);
  });
  QVERIFY(apptest::showActive(dialog));
  prepareSmallRun(dialog);
  control<QCheckBox>(dialog, "savePermutationFitTableCheckBox")->click();
  apptest::typeInto(control<QLineEdit>(dialog, "permutationFitTableFilenameEdit"), typed);
  fixture.boxes().scriptAnswer(MessageAnswer(answer));
  control<QPushButton>(dialog, "okButton")->click();
  if (QTest::currentTestFailed()) return;

  const auto& shown = fixture.boxes().shown();
  QCOMPARE(shown.size(), std::size_t{1});
  QCOMPARE(shown[0].caption, std::string("Save Permutation Fit Table"));
  QCOMPARE(shown[0].text, std::string("The filename 'fits.sav' already exists.\nDo you want to overwrite it?"));
  QCOMPARE(shown[0].icon, MessageIcon::warning);
  QCOMPARE(shown[0].buttons, MessageButtons::yesNo);
  QCOMPARE(shown[0].defaultButton, MessageAnswer::no);
  QCOMPARE(prompts, answer == int(MessageAnswer::no) ? 1 : 0);
  if (savedAs.isEmpty()) {
    QVERIFY(!dialog.hasRun() && !dialog.hasEnded());
    QVERIFY(dialog.isVisible());
    QCOMPARE(control<QLineEdit>(dialog, "permutationFitTableFilenameEdit")->text(), typed);
    QVERIFY(!QFile::exists(fixture.settingsPath()));
    QCOMPARE(readText("fits.sav"), QString("old"));
    return;
  }
  QVERIFY(dialog.hasRun());
  const QString stored = savedAs == "fits.sav" ? savedAs : QDir(fixture.folder()).absoluteFilePath(savedAs);
  QVERIFY(readText(fixture.settingsPath()).contains("Permutation Fit Table Filename=" + stored + "\n"));
  QCOMPARE(notesValue(outputJson(fixture), "Permutation Fit Table Filename"), stored);
  QVERIFY(readText(savedAs) != "old");
}

void TKorvanaDialogRunTest::methodWarning_data() {
  QTest::addColumn<int>("method");  // 4 centroid, 5 median, 6 Ward
  QTest::addColumn<QString>("measure");
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("warned");
  QTest::addColumn<bool>("runs");
  QTest::newRow("Ward, squared Euclidean") << 6 << "interval 1" << 0 << false << true;
  QTest::newRow("Ward, Euclidean, Yes") << 6 << "interval 0" << int(MessageAnswer::yes) << true << true;
  QTest::newRow("Ward, Euclidean, No") << 6 << "interval 0" << int(MessageAnswer::no) << true << false;
  QTest::newRow("Centroid, counts, Cancel") << 4 << "counts 0" << int(MessageAnswer::cancel) << true << false;
  QTest::newRow("Median, binary, closed") << 5 << "binary 0" << int(MessageAnswer::closed) << true << false;
  QTest::newRow("Centroid, squared Euclidean under Counts") << 4 << "counts 1" << int(MessageAnswer::yes) << true
                                                            << true;
  QTest::newRow("single linkage, counts") << 2 << "counts 0" << 0 << false << true;
  QTest::newRow("Ward, matrix") << 6 << "matrix" << 0 << false << true;
}

void TKorvanaDialogRunTest::methodWarning() {
  QFETCH(int, method);
  QFETCH(QString, measure);
  QFETCH(int, answer);
  QFETCH(bool, warned);
  QFETCH(bool, runs);
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  prepareSmallRun(dialog);
  control<QComboBox>(dialog, "clusterMethodComboBox")->setCurrentIndex(method);
  const QStringList kind = measure.split(' ');
  if (kind[0] == "matrix") {
    control<QRadioButton>(dialog, "analyzeMatrixRadioButton")->click();
    control<QLineEdit>(dialog, "matrixFilenameEdit")->setText(fixture.folder() + "/none.sav");
  } else {
    // The squared Euclidean entry stays selected under Interval while
    // another kind is chosen: only the interval instance counts.
    control<QComboBox>(dialog, "intervalMeasureComboBox")->setCurrentIndex(kind[0] == "interval" ? kind[1].toInt() : 1);
    control<QRadioButton>(dialog, (kind[0] + "MeasureRadioButton").toLatin1().constData())->click();
    if (kind[0] != "interval")
      control<QComboBox>(dialog, (kind[0] + "MeasureComboBox").toLatin1().constData())->setCurrentIndex(kind[1].toInt());
  }
  QVERIFY(control<QPushButton>(dialog, "okButton")->isEnabled());
  if (warned) fixture.boxes().scriptAnswer(MessageAnswer(answer));
  const korvana::AnalysisRequest before = dialog.collectRequest();
  control<QPushButton>(dialog, "okButton")->click();

  const auto& shown = fixture.boxes().shown();
  if (warned) {
    QVERIFY(!shown.empty());
    QCOMPARE(shown[0].caption, std::string("Warning"));
    QCOMPARE(shown[0].text,
             std::string("Warning: Invalid measure selected for cluster method.\n\nThe squared Euclidean interval "
                         "measure should be used when CENTROID, MEDIAN, or Ward cluster method is requested.\n\nAre "
                         "you sure you want to continue?"));
    QCOMPARE(shown[0].buttons, MessageButtons::yesNoCancel);
  } else {
    // The matrix run fails on its missing file; nothing else is shown.
    for (const auto& box : shown) QVERIFY2(box.caption != "Warning", box.text.c_str());
  }
  QCOMPARE(dialog.hasRun(), runs);
  QCOMPARE(dialog.isVisible(), !runs);
  QCOMPARE(QFile::exists(fixture.settingsPath()), runs);
  if (!runs) QCOMPARE(dialog.collectRequest(), before);
}

void TKorvanaDialogRunTest::randomSeedUsesTheClock() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  prepareSmallRun(dialog);
  apptest::typeInto(control<QLineEdit>(dialog, "customSeedEdit"), "123");
  control<QRadioButton>(dialog, "randomSeedRadioButton")->click();
  const std::time_t start = std::time(nullptr);
  control<QPushButton>(dialog, "okButton")->click();
  const std::time_t end = std::time(nullptr);
  QVERIFY(dialog.hasRun());
  const qint64 seed = notesValue(outputJson(fixture), "Start Seed").toLongLong();
  QVERIFY2(seed >= start && seed <= end, qPrintable(QString::number(seed)));
  const QString file = readText(fixture.settingsPath());
  QVERIFY(file.contains("\nSeed Type=0\n") && file.contains("\nSeed=123\n"));
}

// A small data file, choices made through the widgets, OK: the output holds
// the tables asked for, and korvana-batch gives the same output from the
// settings file the dialog wrote.
void TKorvanaDialogRunTest::endToEndAndTheSameOutputInBatch() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  QDir::setCurrent(fixture.folder());
  {
    TKorvanaDialog dialog;
    QVERIFY(apptest::showActive(dialog));
    moveToCluster(dialog, {"x1", "x2", "x3", "x4"});
    apptest::selectInList(control<QListWidget>(dialog, "variableListView"), {"name"});
    control<QPushButton>(dialog, "labelVariableMoveButton")->click();
    control<QComboBox>(dialog, "clusterMethodComboBox")->setCurrentIndex(6);
    control<QComboBox>(dialog, "intervalMeasureComboBox")->setCurrentIndex(1);
    apptest::typeInto(control<QLineEdit>(dialog, "nrOfPermutationsEdit"), "20");
    control<QRadioButton>(dialog, "customSeedRadioButton")->click();
    apptest::typeInto(control<QLineEdit>(dialog, "customSeedEdit"), "2024");
    for (const char* name : {"permutationFitCheckBox", "objectOrderCheckBox", "dendrogramCheckBox"})
      control<QCheckBox>(dialog, name)->click();
    control<QPushButton>(dialog, "okButton")->click();
    QVERIFY(dialog.hasRun());
  }
  QVERIFY2(fixture.boxes().shown().empty(), boxTexts(fixture).c_str());
  const QString text = outputText(fixture);
  for (const char* table : {"Permutation Fit", "Object Order", "Agglomeration Schedule", "Dendrogram"})
    QVERIFY2(text.contains(table), qPrintable(table + QString(" missing in\n") + text));
  QVERIFY(text.contains("ann") && text.contains("hal"));  // cases labelled by name
  QVERIFY(!text.contains("Canceled"));
  const QString dialogJson = outputJson(fixture);
  QCOMPARE(notesValue(dialogJson, "Start Seed"), QString("2024"));
  QCOMPARE(notesValue(dialogJson, "Cluster Method"), QString("Ward's method"));

  QProcess batch;
  batch.start(KORVANA_BATCH_PROGRAM, {"--settings", fixture.settingsPath(), "--data", fixture.folder() + "/data.csv",
                                      "--output", fixture.folder() + "/batch", "--format", "json", "--quiet"});
  QVERIFY(batch.waitForFinished(120000));
  QVERIFY2(batch.exitCode() == 0, batch.readAllStandardError().constData());
  // Dates, times and the temporary matrix files differ between the runs.
  const auto masked = [](QString json) {
    return json.replace(QRegularExpression("'[^']*/kvana\\w+'"), "<temporary file>")
        .replace(QRegularExpression("\\d{1,4}[/.-]\\d{1,2}[/.-]\\d{1,4}"), "<date>")
        .replace(QRegularExpression("\\d{1,2}:\\d{2}(:\\d{2})?( ?[AP]M)?"), "<time>");
  };
  const QString batchJson = readText(fixture.folder() + "/batch.json");
  QVERIFY(!batchJson.isEmpty());
  const QString expected = masked(QString::fromUtf8(QJsonDocument::fromJson(dialogJson.toUtf8()).toJson()));
  const QString actual = masked(QString::fromUtf8(QJsonDocument::fromJson(batchJson.toUtf8()).toJson()));
  if (expected != actual) {
    const QStringList a = expected.split('\n'), b = actual.split('\n');
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
      QVERIFY2(a[i] == b[i], qPrintable("line " + QString::number(i) + ":\n" + a[i] + "\n" + b[i]));
    QCOMPARE(a.size(), b.size());
  }
}

QTEST_MAIN(TKorvanaDialogRunTest)
#include "TKorvanaDialogRunTest.moc"
