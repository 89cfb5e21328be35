// The main dialog: the user describes one cluster analysis on two pages,
// "General" (GeneralPage) and "Options" (OptionsPage), and OK runs it. The
// dialog attaches to the running statistics package when it is created,
// lists the variables of its first data set, restores the choices of the
// settings file when first shown (RequestBinding), and enables OK only while
// the request is valid. OK asks its questions, stores the request in the
// settings file and runs the analysis; the menu and the file prompts are the
// dialog's as well.
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
class QMenuBar;
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
  const std::vector<Variable>& variables() const { return variables_; }

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

 private slots:
  void okButtonClick();
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
  void readVariables();
  void freeVariables();

  /// Stores the request in the settings file and writes it to disk; throws
  /// EKorvanaError when the file cannot be written.
  void saveSettings(const AnalysisRequest& request);
  /// Asks whether the fit table file may be replaced; false to go back to
  /// the dialog. A new name picked instead goes into fileName.
  bool confirmFitTableFile(std::string& fileName);
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
  QAction* fileMenuExitItem_{};
  QAction* helpMenuKorvanaHelpItem_{};
  QAction* helpMenuAboutItem_{};
  QFileDialog* openMatrixDialog_{};
  QFileDialog* saveTableDialog_{};

  automation::AutomationPtr<Spsswin_tlb::ISpssApp> spssApplication_;
  bool hasData_ = false;
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
