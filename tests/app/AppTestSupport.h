// Helpers for the desktop program's tests: a running statistics package with
// a small data set, the message boxes recorded instead of shown, and typing
// and focus as a user would make them.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <fstream>
#include <string>

#include "platform/spss/StatisticsPackage.h"
#include "platform/host/MessageBoxes.h"

namespace apptest {

/// Four numeric and two string variables, in this dictionary order:
/// x1, name, x2, x3, city, x4; eight cases.
inline const char* const smallDataCsv =
    "x1,name,x2,x3,city,x4\n"
    "1,ann,2,3,oslo,1\n"
    "2,bob,2,5,rome,0\n"
    "3,cid,4,1,oslo,1\n"
    "4,dan,1,2,rome,1\n"
    "5,eve,5,5,oslo,0\n"
    "1,fay,2,3,rome,1\n"
    "2,gus,3,4,oslo,0\n"
    "6,hal,1,1,rome,1\n";

/// A package started for one test and shut down after it; the message boxes
/// are recorded for as long as it lives. The fixture's folder is the user's
/// configuration folder, so every test starts without a settings file.
class PackageFixture {
 public:
  /// csv: the data set's text; empty starts the package without data.
  explicit PackageFixture(const std::string& csv) : boxService_(boxes_) {
    useAsConfigFolder();
    if (csv.empty()) {
      package_ = korvana::spss::StatisticsPackage::start();
    } else {
      const std::string path = folder_.filePath("data.csv").toStdString();
      std::ofstream(path) << csv;
      package_ = korvana::spss::StatisticsPackage::start(path);
    }
  }
  /// No package at all.
  PackageFixture() : boxService_(boxes_) { useAsConfigFolder(); }
  ~PackageFixture() {
    if (package_) package_->shutdown();
  }
  PackageFixture(const PackageFixture&) = delete;
  PackageFixture& operator=(const PackageFixture&) = delete;

  korvana::spss::StatisticsPackage& package() { return *package_; }
  korvana::host::RecordingMessageBoxes& boxes() { return boxes_; }
  QString folder() const { return folder_.path(); }
  /// Where the dialog keeps its settings during the test.
  QString settingsPath() const { return folder_.filePath("Korvana.ini"); }

 private:
  /// The fixture's folder is also the temporary folder, so that a matrix
  /// file a failed run leaves behind goes with it.
  void useAsConfigFolder() {
    qputenv("XDG_CONFIG_HOME", folder_.path().toLocal8Bit());
    qputenv("TMPDIR", folder_.path().toLocal8Bit());
  }

  QTemporaryDir folder_;
  korvana::host::RecordingMessageBoxes boxes_;
  korvana::host::ScopedMessageBoxService boxService_;
  korvana::automation::AutomationPtr<korvana::spss::StatisticsPackage> package_;
};

/// Qt keeps its own settings (the file prompts' last folder) apart from the
/// program's, beside the test program: the configuration folder changes
/// with every fixture, and Qt writes its file when the test program ends.
inline void keepQtSettingsBesideTheTests() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     QCoreApplication::applicationDirPath() + "/qt-settings");
}

/// Shows the window and makes it the active one, so that its controls can
/// hold the keyboard focus.
inline bool showActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

/// Replaces the edit's text by typing, key by key, as a user does.
inline void typeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
}

/// Gives the list the focus and selects the items with these captions.
inline void selectInList(QListWidget* list, const QStringList& captions) {
  list->setFocus();
  list->clearSelection();
  for (const QString& caption : captions) {
    const QList<QListWidgetItem*> found = list->findItems(caption, Qt::MatchExactly);
    if (!found.isEmpty()) found.front()->setSelected(true);
  }
}

inline QStringList captions(const QListWidget* list) {
  QStringList result;
  for (int i = 0; i < list->count(); ++i) result << list->item(i)->text();
  return result;
}

/// A control's own enabled setting (not what a disabled parent makes of it).
inline bool ownEnabled(const QWidget* widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); }

}  // namespace apptest
