// The progress window's operations, and a run started with OK: completed,
// canceled from the progress window while it runs, and stopped by an error.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "AppTestSupport.h"
#include "app/TKorvanaDialog.h"
#include "app/TProgressDialog.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"

using korvana::app::TKorvanaDialog;
using korvana::app::TProgressDialog;

class TProgressDialogTest : public QObject {
  Q_OBJECT

 private:
  template <class T>
  static T* control(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(name);
    if (found == nullptr) qFatal("no control %s", name);
    return found;
  }
  static QString outputText(apptest::PackageFixture& fixture) {
    return QString::fromStdString(korvana::spss::renderText(fixture.package().outputDocument()->model()));
  }
  /// A dialog with x1, x2 and x3 to be clustered, the permutation count and
  /// a fixed seed typed in.
  static void prepareRun(TKorvanaDialog& dialog, const QString& permutations) {
    auto* variables = control<QListWidget>(dialog, "variableListView");
    apptest::selectInList(variables, {"x1", "x2", "x3"});
    control<QPushButton>(dialog, "clusterVariableMoveButton")->click();
    apptest::typeInto(control<QLineEdit>(dialog, "nrOfPermutationsEdit"), permutations);
    control<QRadioButton>(dialog, "customSeedRadioButton")->click();
    apptest::typeInto(control<QLineEdit>(dialog, "customSeedEdit"), "2024");
  }

 private slots:
  void stepsLabelsAndBar();
  void threeStepsShowOnlyTheStepName();
  void cancelOnceAndNoClosing();
  void okRunsTheAnalysisAndEndsTheProgram();
  void cancelDuringARun();
  void aFailedRunIsShownAndEndsTheProgram();
};

void TProgressDialogTest::stepsLabelsAndBar() {
  TProgressDialog progress;
  QCOMPARE(TProgressDialog::instance(), &progress);
  QCOMPARE(progress.windowTitle(), QString("Korvana - Running Analysis"));
  QVERIFY(!progress.isVisible());
  auto* step1 = control<QLabel>(progress, "statusLabel1");
  auto* step2 = control<QLabel>(progress, "statusLabel2");
  auto* step3 = control<QLabel>(progress, "statusLabel3");
  auto* bar = control<QProgressBar>(progress, "progressBar");
  auto* status = control<QLabel>(progress, "progressLabel");
  QCOMPARE(bar->minimum(), 0);
  QCOMPARE(bar->maximum(), 100);

  progress.setSteps({"Performing analysis", "Generating statistics"});
  progress.showProgress();
  QVERIFY(progress.isVisible());
  QCOMPARE(step1->text(), QString("Step 1 : Performing analysis"));
  QCOMPARE(step2->text(), QString("Step 2 : Generating statistics"));
  QVERIFY(step1->isVisible() && step2->isVisible());
  QVERIFY(!step3->isVisible());
  QVERIFY(!step1->isEnabled() && !step2->isEnabled());

  progress.setStep(0, 0, 40);
  QVERIFY(step1->isEnabled());
  QCOMPARE(status->text(), QString("Performing analysis"));
  QCOMPARE(bar->value(), 0);
  progress.stepIt();
  progress.stepIt();
  QCOMPARE(bar->value(), 2);
  progress.setStatus("Passed permutations 2/40");
  QCOMPARE(status->text(), QString("Passed permutations 2/40"));

  progress.setStep(1, 5, 9);
  QVERIFY(!step1->isEnabled());
  QVERIFY(step2->isEnabled());
  QCOMPARE(bar->minimum(), 5);
  QCOMPARE(bar->maximum(), 9);
  QCOMPARE(bar->value(), 5);
  QVERIFY(!progress.isCanceled());
  progress.hideProgress();
  QVERIFY(!progress.isVisible());
}

void TProgressDialogTest::threeStepsShowOnlyTheStepName() {
  TProgressDialog progress;
  progress.setSteps({"Performing analysis", "Saving permutation fit table", "Generating statistics", "Ignored"});
  auto* step2 = control<QLabel>(progress, "statusLabel2");
  auto* step3 = control<QLabel>(progress, "statusLabel3");
  QCOMPARE(step3->text(), QString("Step 3 : Generating statistics"));
  progress.setStep(1, 0, 10);
  progress.setStep(2, 0, 10);
  QVERIFY(!step2->isEnabled());
  QVERIFY(step3->isEnabled());
  QCOMPARE(control<QLabel>(progress, "progressLabel")->text(), QString("Generating statistics"));
}

void TProgressDialogTest::cancelOnceAndNoClosing() {
  TProgressDialog progress;
  progress.showProgress();
  QVERIFY(apptest::showActive(progress));
  // Neither the close request nor Escape closes the window.
  QVERIFY(!progress.close());
  progress.requestClose();
  QTest::keyClick(&progress, Qt::Key_Escape);
  QVERIFY(progress.isVisible());
  QVERIFY(!progress.isCanceled());

  auto* cancel = control<QPushButton>(progress, "cancelButton");
  QTest::mouseClick(cancel, Qt::LeftButton);
  QVERIFY(progress.isCanceled());
  QVERIFY(!cancel->isEnabled());
  QVERIFY(progress.isVisible());
}

void TProgressDialogTest::okRunsTheAnalysisAndEndsTheProgram() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  TProgressDialog progress(&dialog);
  QVERIFY(apptest::showActive(dialog));
  prepareRun(dialog, "20");
  auto* ok = control<QPushButton>(dialog, "okButton");
  QVERIFY(ok->isEnabled());
  ok->click();
  QVERIFY(dialog.hasRun());
  QVERIFY(dialog.hasEnded());
  QVERIFY(!dialog.isVisible());
  QVERIFY(!progress.isVisible());
  const QString text = outputText(fixture);
  QVERIFY2(text.contains("Agglomeration Schedule"), qPrintable(text));
  QVERIFY(!text.contains("Canceled"));
  QVERIFY(fixture.boxes().shown().empty());
}

void TProgressDialogTest::cancelDuringARun() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  TProgressDialog progress(&dialog);
  QVERIFY(apptest::showActive(dialog));
  prepareRun(dialog, "2000000");

  // The click arrives while the run processes pending events.
  int stepWhenCanceled = -1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* bar = control<QProgressBar>(progress, "progressBar");
    if (!progress.isVisible() || bar->value() < 10) return;
    poll.stop();
    stepWhenCanceled = bar->value();
    QTest::mouseClick(control<QPushButton>(progress, "cancelButton"), Qt::LeftButton);
    // A second press is not possible.
    QVERIFY(!control<QPushButton>(progress, "cancelButton")->isEnabled());
  });
  poll.start(5);
  control<QPushButton>(dialog, "okButton")->click();
  poll.stop();

  QVERIFY(stepWhenCanceled >= 10);
  QVERIFY(progress.isCanceled());
  QVERIFY(dialog.hasEnded());
  const QString text = outputText(fixture);
  QVERIFY2(text.contains("Korvana analysis has been canceled by user."), qPrintable(text.right(2000)));
  QVERIFY(fixture.boxes().shown().empty());
}

void TProgressDialogTest::aFailedRunIsShownAndEndsTheProgram() {
  apptest::PackageFixture fixture(apptest::smallDataCsv);
  TKorvanaDialog dialog;
  TProgressDialog progress(&dialog);
  QVERIFY(apptest::showActive(dialog));
  prepareRun(dialog, "5");
  // The package's PROXIMITIES call fails and the check's prompt is answered
  // Yes: the run stops with the prompt's message in the standard error box.
  fixture.package().failNextCall("ExecuteCommands", korvana::automation::E_FAIL);
  fixture.boxes().scriptAnswer(korvana::host::MessageAnswer::yes);
  control<QPushButton>(dialog, "okButton")->click();
  QVERIFY(dialog.hasEnded());
  const auto& shown = fixture.boxes().shown();
  QCOMPARE(shown.size(), std::size_t{2});
  QCOMPARE(shown[1].caption, std::string("Korvana"));
  QCOMPARE(shown[1].icon, korvana::host::MessageIcon::error);
  QVERIFY(QString::fromStdString(shown[1].text).contains("ExecuteCommands"));
  QCOMPARE(shown[1].text.back(), '.');
}

QTEST_MAIN(TProgressDialogTest)
#include "TProgressDialogTest.moc"
