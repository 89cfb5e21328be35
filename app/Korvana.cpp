// korvana: the desktop program. It creates its two named mutexes, starts the
// statistics package it attaches to (see StandInPackage.h for the package's
// options), shows the main dialog and, after OK, runs one analysis with the
// progress window. When a run took place the package's output document is
// saved, its path printed and the file opened in the desktop's browser.
#include <QDateTime>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>

#include "app/KorvanaApplication.h"
#include "app/QtMessageBoxes.h"
#include "app/StandInPackage.h"
#include "app/TAboutDialog.h"
#include "app/TKorvanaDialog.h"
#include "app/TProgressDialog.h"
#include "output/Version.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/GraphicFiles.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/NamedMutex.h"

namespace {

using korvana::automation::AutomationPtr;
using korvana::spss::StatisticsPackage;

/// Nothing tests these; they only tell that the program runs.
void createSignalMutexes() {
  korvana::host::createNamedMutex(korvana::Version::getMutexName());
  korvana::host::createNamedMutex(korvana::Version::getGlobalMutexName());
}

/// Saves the package's output after a run (and its drawings where a folder
/// was chosen) and opens it.
void saveAndOpenOutput(const StatisticsPackage& package, const korvana::app::StandInOptions& options,
                       const std::string& drawingsFolder) {
  std::string path = options.outputFile.empty() ? korvana::app::defaultOutputPath(QDateTime::currentDateTime())
                                                 : options.outputFile;
  path = std::filesystem::absolute(path).string();
  try {
    korvana::app::saveOutputDocument(*package.outputDocument(), path);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvana: the output could not be saved to %s: %s\n", path.c_str(), error.what());
    return;
  }
  std::printf("Output saved to %s\n", path.c_str());
  if (!drawingsFolder.empty()) {
    try {
      const auto written = korvana::spss::saveGraphics(package.outputDocument()->model(), drawingsFolder);
      std::printf("Drawings saved to %s (%zu SVG files)\n", drawingsFolder.c_str(), written.size());
    } catch (const std::exception& error) {
      std::fprintf(stderr, "korvana: the drawings could not be saved: %s\n", error.what());
    }
  }
  std::fflush(stdout);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace

int main(int argc, char** argv) {
  korvana::app::StandInOptions options;
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QString problem;
  if (!korvana::app::parseStandInOptions(arguments, options, &problem)) {
    if (problem.isEmpty()) return 0;
    std::fprintf(stderr, "korvana: %s (see korvana --help)\n", qPrintable(problem));
    return 1;
  }

  createSignalMutexes();
  korvana::app::KorvanaApplication application(argc, argv);
  korvana::app::QtMessageBoxes boxes;
  korvana::host::ScopedMessageBoxService boxService(boxes);
  AutomationPtr<StatisticsPackage> package;
  try {
    package = options.dataFile.empty() ? StatisticsPackage::start() : StatisticsPackage::start(options.dataFile);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvana: the statistics package could not start: %s\n", error.what());
    return 1;
  }

  bool ran = false;
  std::string drawingsFolder = options.svgFolder;
  try {
    korvana::app::TKorvanaDialog dialog;
    korvana::app::TProgressDialog progress(&dialog);
    korvana::app::TAboutDialog about(&dialog);
    if (!dialog.hasEnded()) {
      QObject::connect(&dialog, &korvana::app::TKorvanaDialog::programEnded, &application, &QCoreApplication::quit,
                       Qt::QueuedConnection);
      dialog.show();
      QApplication::exec();
    }
    ran = dialog.hasRun();
    if (!dialog.drawingsFolder().empty()) drawingsFolder = dialog.drawingsFolder();
  } catch (...) {
    // What escaped every handler is shown; the program still ends normally.
    korvana::app::KorvanaApplication::handleCurrentException();
  }
  package->shutdown();
  if (ran) saveAndOpenOutput(*package, options, drawingsFolder);
  return 0;
}
