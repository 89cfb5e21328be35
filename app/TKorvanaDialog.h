// The main dialog: the user describes one cluster analysis on two pages,
// "General" (GeneralPage) and "Options" (OptionsPage), and OK runs it. The
// dialog attaches to the running statistics package when it is created,
// lists the variables of its first data set, restores the choices of the
// settings file when first shown (RequestBinding), and enables OK only while
// the request is valid. OK asks its questions, stores the request in the
// settings file and runs the analysis; the menu and the file prompts are the
// dialog's as well.
//
// The dialog opens data sets itself (File > Open Data, a data file dropped
// on it, the recent data files of the File menu): the package reads the file
// in place of its active data set, and the variable lists show the new
// dictionary with the chosen variables it still has. Started without a data
// set, the dialog reopens the one last opened while that file exists.
//
// Every control carries its own object name (clusterMethodComboBox,
// clusterVariableMoveButton, ...); tests find the controls by it. The
// handlers are named after their control and event.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/AnalysisRequest.h"
#include "analysis/Variable.h"

class QAction;
class QFileDialog;
class QMenu;
class QMenuBar;
class QMimeData;
class QPushButton;
class QTabWidget;

namespace korvana {
class SettingsFile;
class SharedInstances;
}

namespace korvana::app {

class GeneralPage;
class OptionsPage;
class RequestBinding;

class TKorvanaDialog final : public QDialog {
  Q_OBJECT

 public:
  /// Creates the controls and attaches to the statistics package. A failed
  /// connection or a split file is reported in the standard error box and
  /// ends the program (hasEnded()) before the dialog is used.
  explicit TKorvanaDialog(QWidget* parent = nullptr);
  ~TKorvanaDialog() override;

  /// True once the program is to end (Cancel, File > Exit, a run that
  /// returned, an error shown by showApplicationError); programEnded() was
  /// emitted.
  bool hasEnded() const { return ended_; }
  /// True once OK has handed a request to the analysis.
  bool hasRun() const { return runStarted_; }
  bool hasData() const { return hasData_; }
  /// The folder File > Save Drawings as SVG chose (empty: none): after the
  /// run every drawing of the output is saved there as an SVG file.
  const std::string& drawingsFolder() const { return drawingsFolder_; }
  const std::vector<Variable>& variables() const { return variables_; }
  /// The file of the package's active data set; empty for a new data set.
  const std::string& dataFilePath() const { return dataFilePath_; }
  /// The recent data files the File menu lists, most recent first.
  const std::vector<std::string>& recentDataFiles() const { return recentDataFiles_; }

  /// The dialog's choices as a request (see RequestBinding::collect()).
  AnalysisRequest collectRequest() const;

  /// Enables OK while the controls describe a valid request. The user's
  /// changes do it as they are made; text set by the program does not, and
  /// is followed by a call to this.
  void updateOkButton();

  /// Shows a file prompt, already configured, and gives the chosen path or
  /// nothing when the user cancels. The prompt runs modally unless another
  /// is installed (tests answer it without showing it).
  using FilePrompt = std::function<std::optional<QString>(QFileDialog& prompt)>;
  void setFilePrompt(FilePrompt prompt) { filePrompt_ = std::move(prompt); }

 signals:
  /// The program is to end now (emitted once).
  void programEnded();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private slots:
  void okButtonClick();
  void fileMenuOpenDataItemClick();
  void fileMenuSaveDrawingsItemClick();
  void fileMenuAboutToShow();
  void fileMenuExitItemClick();
  void helpMenuKorvanaHelpItemClick();
  void helpMenuAboutItemClick();
  void analysisTypeChange(bool matrixFile);
  void matrixFilenameBrowseButtonClick();
  void permutationFitTableFilenameBrowseButtonClick();

 private:
  void createControls();
  void createMenu();
  void createFileDialogs();
  void connectHandlers();

  /// Shows an error that no handler caught and ends the program.
  void showApplicationError(const std::string& message);

  void connectToStatisticsPackage();
  /// Reads what the dialog needs of the active data set: whether it has
  /// variables and its file; refuses a split file.
  void inspectActiveData();
  void readVariables();
  void freeVariables();

  /// Has the package open the data file in place of its active data set and
  /// shows the new data; false when the package refused the file, which the
  /// standard error box has told, everything staying as it was.
  bool openDataFile(const std::string& path);
  /// Started without a data set, reopens the last one opened while its file
  /// exists.
  void reopenLastDataFile();
  /// Lists the new data set's variables, keeping the chosen ones it has by
  /// name and kind, and applies the rules that depend on the data.
  void showNewData();
  /// The data file named by a drop: one local file of a kind the package
  /// reads, or nothing.
  static std::optional<std::string> droppedDataFile(const QMimeData* data);
  /// Puts the active data set's file in front of the recent data files and
  /// makes it the last data file (in memory).
  void rememberDataFile();
  /// Writes the recent and the last data file into the settings file on
  /// disk, leaving its other keys as they are there.
  void saveDataFileHistory();
  /// Lists the recent data files that still exist in the File menu.
  void updateRecentDataFilesMenu();
  void updateWindowTitle();

  /// Stores the request in the settings file and writes it to disk; throws
  /// EKorvanaError when the file cannot be written.
  void saveSettings(const AnalysisRequest& request);
  /// Asks whether the fit table file may be replaced; false to go back to
  /// the dialog. A new name picked instead goes into fileName.
  bool confirmFitTableFile(std::string& fileName);
  /// Refuses the data file itself and asks before an existing file is
  /// replaced by the saved memberships.
  bool confirmMembershipFile(const std::string& fileName);
  /// Warns about a measure unsuited to the method; false to go back.
  bool confirmMeasureForMethod(const AnalysisRequest& request);
  std::optional<QString> askForFile(QFileDialog& prompt);
  void runRequest(const AnalysisRequest& request);
  void endProgram();

  QTabWidget* pageTabWidget_{};
  GeneralPage* generalPage_{};
  OptionsPage* optionsPage_{};
  std::unique_ptr<RequestBinding> binding_;
  QPushButton* okButton_{};
  QPushButton* cancelButton_{};
  QMenuBar* mainMenuBar_{};
  QMenu* fileMenu_{};
  QAction* fileMenuOpenDataItem_{};
  QAction* recentDataFilesSeparator_{};
  std::vector<QAction*> recentDataFileItems_;
  QAction* fileMenuSaveDrawingsItem_{};
  QAction* fileMenuExitItem_{};
  QAction* helpMenuKorvanaHelpItem_{};
  QAction* helpMenuAboutItem_{};
  QFileDialog* openMatrixDialog_{};
  QFileDialog* drawingsFolderDialog_{};
  std::string drawingsFolder_;
  QFileDialog* openDataDialog_{};
  QFileDialog* saveTableDialog_{};

  automation::AutomationPtr<Spsswin_tlb::ISpssApp> spssApplication_;
  bool hasData_ = false;
  std::string dataFilePath_;
  std::vector<std::string> recentDataFiles_;
  std::vector<Variable> variables_;
  std::unique_ptr<SharedInstances> sharedInstances_;
  std::unique_ptr<SettingsFile> settingsFile_;
  std::string settingsFilePath_;
  FilePrompt filePrompt_;
  bool shown_ = false;
  bool ended_ = false;
  bool runStarted_ = false;
};

}  // namespace korvana::app
