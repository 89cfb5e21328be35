// Takes the screenshots of the desktop program for the documentation: both
// pages of the main dialog (with the iris example's choices), the File menu
// with its recent data files, the progress window during a run and the about
// box. Writes PNG files into the folder given as the only argument. Run it on
// a real display (or under xvfb-run) to get the desktop's fonts and style.
// The dialog keeps its settings in a folder of its own meanwhile, so the
// user's settings are neither shown nor changed.
#include <QApplication>
#include <QComboBox>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <optional>

#include "app/QtMessageBoxes.h"
#include "app/TAboutDialog.h"
#include "app/TKorvanaDialog.h"
#include "app/TProgressDialog.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/host/MessageBoxes.h"

#ifndef KORVANA_EXAMPLES_DIR
#define KORVANA_EXAMPLES_DIR "examples"
#endif

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name) {
  QTest::qWait(200);
  const QString path = folder.filePath(name);
  const bool saved = window.grab().save(path);
  std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "could not write", qPrintable(path), window.width(),
              window.height());
  return saved;
}

template <class T>
T* control(const QWidget& window, const char* name) {
  T* found = window.findChild<T*>(name);
  if (found == nullptr) qFatal("no control %s", name);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  korvana::app::QtMessageBoxes boxes;
  korvana::host::ScopedMessageBoxService boxService(boxes);
  auto package = korvana::spss::StatisticsPackage::start(KORVANA_EXAMPLES_DIR "/iris.sav");

  bool ok = true;
  {
    korvana::app::TKorvanaDialog dialog;
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    (void)QTest::qWaitForWindowActive(&dialog);
    auto* variables = control<QListWidget>(dialog, "variableListView");
    variables->setFocus();
    for (int i = 0; i < variables->count(); ++i)
      variables->item(i)->setSelected(variables->item(i)->text().contains("sepal") ||
                                      variables->item(i)->text().contains("petal"));
    control<QPushButton>(dialog, "clusterVariableMoveButton")->click();
    control<QComboBox>(dialog, "clusterMethodComboBox")->setCurrentIndex(6);
    // Ward's method wants squared Euclidean distances, as the guide's example says.
    auto* measures = control<QComboBox>(dialog, "intervalMeasureComboBox");
    measures->setCurrentIndex(measures->findText("Squared Euclidean distance"));
    auto* permutations = control<QLineEdit>(dialog, "nrOfPermutationsEdit");
    permutations->setText("100");
    dialog.updateOkButton();
    control<QListWidget>(dialog, "clusterVariableListView")->setFocus();
    control<QListWidget>(dialog, "clusterVariableListView")->clearSelection();
    ok = save(dialog, folder, "korvana-general.png") && ok;

    auto* inner = control<QTabWidget>(dialog, "analyzeDataTabWidget");
    inner->setCurrentIndex(1);
    ok = save(dialog, folder, "korvana-measure.png") && ok;
    inner->setCurrentIndex(0);

    control<QTabWidget>(dialog, "pageTabWidget")->setCurrentIndex(1);
    control<QLineEdit>(dialog, "customSeedEdit")->setText("19360101");
    control<QRadioButton>(dialog, "customSeedRadioButton")->click();
    control<QCheckBox>(dialog, "permutationFitCheckBox")->click();
    control<QCheckBox>(dialog, "dendrogramCheckBox")->click();
    ok = save(dialog, folder, "korvana-options.png") && ok;

    // The File menu after the example's data files were opened, the data set
    // in use last; short paths read better than the build's.
    const QString examples = QDir::temp().filePath("korvana-examples");
    QDir().mkpath(examples);
    QStringList opened;
    for (const char* name : {"iris.csv", "iris.sav"}) {
      const QString copy = examples + "/" + name;
      QFile::remove(copy);
      QFile::copy(QString(KORVANA_EXAMPLES_DIR "/") + name, copy);
      opened << copy;
    }
    dialog.setFilePrompt([&opened](QFileDialog&) -> std::optional<QString> {
      if (opened.isEmpty()) return std::nullopt;
      return opened.takeFirst();
    });
    auto* openData = control<QAction>(dialog, "fileMenuOpenDataItem");
    while (!opened.isEmpty()) openData->trigger();
    control<QTabWidget>(dialog, "pageTabWidget")->setCurrentIndex(0);
    auto* menuBar = control<QMenuBar>(dialog, "mainMenuBar");
    auto* fileMenu = control<QMenu>(dialog, "fileMenu");
    menuBar->setActiveAction(fileMenu->menuAction());
    QTest::qWait(300);
    // The menu is a window of its own: the screen shows both.
    const QRect shot = dialog.frameGeometry().united(fileMenu->geometry());
    const QString menuPath = folder.filePath("korvana-file-menu.png");
    const bool menuSaved =
        dialog.screen()->grabWindow(0, shot.x(), shot.y(), shot.width(), shot.height()).save(menuPath);
    std::printf("%s %s (%dx%d)\n", menuSaved ? "wrote" : "could not write", qPrintable(menuPath), shot.width(),
                shot.height());
    ok = menuSaved && ok;
    fileMenu->hide();
    QDir(examples).removeRecursively();

    korvana::app::TAboutDialog about(&dialog);
    about.show();
    ok = save(about, folder, "korvana-about.png") && ok;
    about.hide();

    korvana::app::TProgressDialog progress(&dialog);
    progress.setSteps({"Performing analysis", "Generating statistics"});
    progress.setStep(0, 0, 100);
    for (int i = 0; i < 37; ++i) progress.stepIt();
    progress.setStatus("Passed permutations 37/100");
    progress.showProgress();
    ok = save(progress, folder, "korvana-progress.png") && ok;
    progress.hideProgress();
  }
  package->shutdown();
  return ok ? 0 : 1;
}
