// The dialog opens its data itself: File > Open Data and Ctrl+O, a dropped
// file, the recent data files of the File menu and the last data set at
// start; chosen variables the new data set has stay, a refused file changes
// nothing.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QUrl>
#include <optional>

#include "AppTestSupport.h"
#include "analysis/SettingsFile.h"
#include "app/TKorvanaDialog.h"

using korvana::app::TKorvanaDialog;

namespace {

template <class T>
T* control(const QWidget& dialog, const QString& name) {
  T* found = dialog.findChild<T*>(name);
  if (found == nullptr) qFatal("no control %s", qPrintable(name));
  return found;
}

QStringList listed(const TKorvanaDialog& dialog, const char* list) {
  return apptest::captions(control<QListWidget>(dialog, list));
}

std::string writeFile(const apptest::PackageFixture& fixture, const QString& name, const std::string& text) {
  const std::string path = (fixture.folder() + "/" + name).toStdString();
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

/// x3 numeric as before, x1 now a string, city a string; x2 and x4 gone.
const char* const otherDataCsv = "x3,x1,city,z\n1,a,oslo,4\n2,b,rome,3\n3,c,oslo,1\n";

/// Answers the file prompts with these paths in turn.
void answerPrompts(TKorvanaDialog& dialog, QStringList answers) {
  dialog.setFilePrompt([answers](QFileDialog& prompt) mutable -> std::optional<QString> {
    if (prompt.objectName() != "openDataDialog" || answers.isEmpty()) return std::nullopt;
    return answers.takeFirst();
  });
}

/// Drags and drops the data on the dialog; whether the drag was accepted.
bool dropOn(TKorvanaDialog& dialog, QMimeData& data) {
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &drop);
  QTest::qWait(20);
  return enter.isAccepted();
}

int recentItemCount(const TKorvanaDialog& dialog) {
  return int(dialog.findChildren<QAction*>(QRegularExpression("^fileMenuRecentDataFileItem")).size());
}

}  // namespace

class TKorvanaDialogOpenDataTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { apptest::keepQtSettingsBesideTheTests(); }
  void openKeepsTheChoicesTheDataSetHasAndARefusedFileChangesNothing();
  void aDroppedDataFileOpensAndMakesTheDataChoiceAvailable();
  void recentDataFilesInTheFileMenu();
  void theLastDataSetIsReopenedAtStart();
};

void TKorvanaDialogOpenDataTest::openKeepsTheChoicesTheDataSetHasAndARefusedFileChangesNothing() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  const std::string other = writeFile(fixture, "other.csv", otherDataCsv);
  const std::string cut = writeFile(fixture, "cut.sav", "$FL2@(#) IBM SPSS STATISTICS");
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  answerPrompts(dialog, {QString::fromStdString(cut), QString::fromStdString(other)});
  apptest::selectInList(control<QListWidget>(dialog, "variableListView"), {"x2", "x3", "x1"});
  control<QPushButton>(dialog, "clusterVariableMoveButton")->click();
  apptest::selectInList(control<QListWidget>(dialog, "variableListView"), {"city"});
  control<QPushButton>(dialog, "labelVariableMoveButton")->click();
  const QStringList variables = listed(dialog, "variableListView");

  control<QAction>(dialog, "fileMenuOpenDataItem")->trigger();
  QCOMPARE(fixture.boxes().shown().size(), std::size_t{1});
  QVERIFY(QString::fromStdString(fixture.boxes().shown()[0].text).contains(QString::fromStdString(cut)));
  QCOMPARE(listed(dialog, "variableListView"), variables);
  QCOMPARE(listed(dialog, "clusterVariableListView"), QStringList({"x1", "x2", "x3"}));
  QCOMPARE(listed(dialog, "labelVariableListView"), QStringList({"city"}));
  QCOMPARE(dialog.windowTitle(), QString("data.csv - Korvana"));
  QVERIFY(dialog.recentDataFiles().empty());
  QVERIFY(!QFile::exists(fixture.settingsPath()));

  QTest::keyClick(&dialog, Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(fixture.boxes().shown().size(), std::size_t{1});
  QCOMPARE(fixture.package().documents().size(), std::size_t{1});
  QCOMPARE(fixture.package().documents().at(0)->path(), other);
  QCOMPARE(dialog.windowTitle(), QString("other.csv - Korvana"));
  QCOMPARE(listed(dialog, "clusterVariableListView"), QStringList({"x3"}));
  QCOMPARE(listed(dialog, "labelVariableListView"), QStringList({"city"}));
  QCOMPARE(listed(dialog, "variableListView"), QStringList({"x1", "z"}));
  korvana::SettingsFile saved;
  saved.load(fixture.settingsPath().toStdString());
  QCOMPARE(saved.recentDataFiles(), std::vector<std::string>({other}));
  QCOMPARE(saved.lastDataFile(), other);
}

void TKorvanaDialogOpenDataTest::aDroppedDataFileOpensAndMakesTheDataChoiceAvailable() {
  apptest::PackageFixture fixture("");
  const QString data = QString::fromStdString(writeFile(fixture, "small.csv", apptest::smallDataCsv));
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  QMimeData web, two, text, notData, dataFile;
  web.setUrls({QUrl("https://example.org/data.csv")});
  two.setUrls({QUrl::fromLocalFile(data), QUrl::fromLocalFile(data)});
  text.setText(data);
  notData.setUrls({QUrl::fromLocalFile(QString::fromStdString(writeFile(fixture, "notes.txt", "x\n1\n")))});
  for (QMimeData* ignored : {&web, &two, &text, &notData}) QVERIFY(!dropOn(dialog, *ignored));
  QCOMPARE(dialog.dataFilePath(), std::string());

  dataFile.setUrls({QUrl::fromLocalFile(data)});
  QVERIFY(dropOn(dialog, dataFile));
  QTRY_COMPARE(dialog.dataFilePath(), data.toStdString());
  QCOMPARE(listed(dialog, "variableListView").size(), 6);
  auto* analyzeData = control<QRadioButton>(dialog, "analyzeDataRadioButton");
  QVERIFY(analyzeData->isEnabled() && analyzeData->isChecked());
  QVERIFY(control<QListWidget>(dialog, "variableListView")->isEnabled());
  QVERIFY(fixture.boxes().shown().empty());
}

void TKorvanaDialogOpenDataTest::recentDataFilesInTheFileMenu() {
  apptest::PackageFixture fixture("");
  QStringList files;
  for (int i = 0; i < 6; ++i)
    files << QString::fromStdString(writeFile(fixture, QString("d%1.csv").arg(i), apptest::smallDataCsv));
  const auto paths = [](const QStringList& names) {
    std::vector<std::string> list;
    for (const QString& name : names) list.push_back(name.toStdString());
    return list;
  };
  {
    TKorvanaDialog dialog;
    answerPrompts(dialog, files + QStringList{files[2]});
    for (int i = 0; i < 7; ++i) control<QAction>(dialog, "fileMenuOpenDataItem")->trigger();
    // The last five, most recent first, each once.
    QCOMPARE(dialog.recentDataFiles(), paths({files[2], files[5], files[4], files[3], files[1]}));
    QCOMPARE(recentItemCount(dialog), 5);
    QCOMPARE(control<QAction>(dialog, "fileMenuRecentDataFileItem2")->text(), "&2 " + files[5]);
    control<QAction>(dialog, "fileMenuRecentDataFileItem4")->trigger();
    QCOMPARE(dialog.dataFilePath(), files[3].toStdString());
    // A file that is gone leaves the menu when it is next shown.
    QVERIFY(QFile::remove(files[4]));
    emit control<QMenu>(dialog, "fileMenu")->aboutToShow();
    QCOMPARE(dialog.recentDataFiles(), paths({files[3], files[2], files[5], files[1]}));
    QCOMPARE(recentItemCount(dialog), 4);
  }
  // The next start lists them from the settings file.
  TKorvanaDialog again;
  QCOMPARE(again.recentDataFiles(), paths({files[3], files[2], files[5], files[1]}));
}

void TKorvanaDialogOpenDataTest::theLastDataSetIsReopenedAtStart() {
  apptest::PackageFixture fixture("");
  const std::string last = writeFile(fixture, "last.csv", apptest::smallDataCsv);
  korvana::SettingsFile settings;
  settings.setLastDataFile(last);
  settings.setValue("General", "Cluster Variables", "x3:x1");
  settings.save(fixture.settingsPath().toStdString());
  {
    TKorvanaDialog dialog;
    QVERIFY(apptest::showActive(dialog));
    QCOMPARE(fixture.package().documents().at(0)->path(), last);
    QCOMPARE(dialog.windowTitle(), QString("last.csv - Korvana"));
    QCOMPARE(listed(dialog, "clusterVariableListView"), QStringList({"x3", "x1"}));
    QVERIFY(control<QRadioButton>(dialog, "analyzeDataRadioButton")->isChecked());
  }
  // Gone: no message, the new, empty data set.
  fixture.package().closeDataDocument(0);
  QVERIFY(QFile::remove(QString::fromStdString(last)));
  TKorvanaDialog dialog;
  QVERIFY(apptest::showActive(dialog));
  QVERIFY(!dialog.hasData());
  QVERIFY(control<QRadioButton>(dialog, "analyzeMatrixRadioButton")->isChecked());
  QVERIFY(fixture.boxes().shown().empty());
}

QTEST_MAIN(TKorvanaDialogOpenDataTest)
#include "TKorvanaDialogOpenDataTest.moc"
