// The main dialog: the user describes one cluster analysis on two pages,
// "General" and "Options", and OK runs it. The dialog attaches to the running
// statistics package when it is created, lists the variables of its first
// data set, keeps its controls consistent through eight update operations,
// and enables OK only while the request is valid.
//
// Every control carries its own object name (clusterMethodComboBox,
// clusterVariableMoveButton, ...); tests find them by it. The
// handlers are named after their control and event.
#pragma once

#include <QDialog>
#include <QIcon>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "analysis/AnalysisRequest.h"
#include "analysis/Variable.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace korvana {
class SettingsFile;
class SharedInstances;
}

namespace korvana::app {

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

  /// The dialog's choices as a request: list positions, converted numbers
  /// (with their fallbacks), the cluster variables' names in list order and
  /// the label variable's name when Cases is chosen and the label list holds
  /// exactly one variable.
  AnalysisRequest collectRequest() const;

  /// Shows a file prompt, already configured, and gives the chosen path or
  /// nothing when the user cancels. The prompt runs modally unless another
  /// is installed (tests answer it without showing it).
  using FilePrompt = std::function<std::optional<QString>(QFileDialog& prompt)>;
  void setFilePrompt(FilePrompt prompt) { filePrompt_ = std::move(prompt); }

  /// The icons of numeric (0) and string (1) variables.
  const std::array<QIcon, 2>& variableTypeImageList() const { return variableTypeImageList_; }

  // The update operations that keep the controls consistent.
  void updateProximityControls();
  void updateVariableControls();
  void updateMeasureControls();
  void updateStandardizeControls();
  void updateOptionControls();
  void updateClusterVariableMoveButton();
  void updateLabelVariableMoveButton();
  void updateOkButton();

  // Handlers.
  void okButtonClick();
  void fileMenuExitItemClick();
  void helpMenuKorvanaHelpItemClick();
  void helpMenuAboutItemClick();
  void proximitiesGroupBoxClick();
  void clusterCasesRadioButtonClick();
  void clusterVariablesRadioButtonClick();
  void variableListViewEnter();
  void clusterVariableListViewEnter();
  void labelVariableListViewEnter();
  void variableListViewSelectItem();
  void clusterVariableListViewSelectItem();
  void labelVariableListViewSelectItem();
  void clusterVariableMoveButtonClick();
  void labelVariableMoveButtonClick();
  void intervalMeasureRadioButtonClick();
  void countsMeasureRadioButtonClick();
  void binaryMeasureRadioButtonClick();
  void intervalMeasureComboBoxChange();
  void countsMeasureComboBoxChange();
  void binaryMeasureComboBoxChange();
  void standardizeMethodComboBoxChange();
  void randomSeedRadioButtonClick();
  void customSeedRadioButtonClick();
  void savePermutationFitTableCheckBoxClick();
  void nrOfPermutationsEditChange();
  void binaryMeasurePresentEditChange();
  void binaryMeasureAbsentEditChange();
  void customSeedEditChange();
  void matrixFilenameEditChange();
  void permutationFitTableFilenameEditChange();
  void nrOfPermutationsUpDownClick(int step);
  void matrixFilenameBrowseButtonClick();
  void permutationFitTableFilenameBrowseButtonClick();

 signals:
  /// The program is to end now (emitted once).
  void programEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void createControls();
  QWidget* createGeneralPage();
  QWidget* createVariablesTab();
  QWidget* createMeasureTab();
  QWidget* createStandardizeTab();
  QWidget* createOptionsPage();
  void createMenu();
  void createFileDialogs();
  void connectHandlers();

  /// Shows an error that no handler caught and ends the program.
  void showApplicationError(const std::string& message);

  void connectToStatisticsPackage();
  void readVariables();
  void fillVariableListView();
  void freeVariables();
  void fillClusterMethodComboBox();
  void fillIntervalMeasureComboBox();
  void fillCountsMeasureComboBox();
  void fillBinaryMeasureComboBox();
  void fillStandardizeMethodComboBox();

  QListWidgetItem* makeItem(const QListWidgetItem& from) const;
  QListWidgetItem* makeItem(const Variable& variable) const;
  /// Inserts into variableListView at the variable's dictionary position.
  void insertSorted(QListWidget* list, QListWidgetItem* item);
  void moveSelectedItems(QListWidget* source, QListWidget* target);
  /// Applies the settings file to the controls (once, when first shown).
  void loadSettings();
  /// Stores the request in the settings file and writes it to disk; throws
  /// EKorvanaError when the file cannot be written.
  void saveSettings(const AnalysisRequest& request);
  /// Restores one list by name: the first item of variableListView with
  /// that name and kind is selected and copied to target.
  void restoreVariable(const std::string& name, bool numeric, QListWidget* target);
  /// Asks whether the fit table file may be replaced; false to go back to
  /// the dialog. A new name picked instead goes into fileName.
  bool confirmFitTableFile(std::string& fileName);
  /// Warns about a measure unsuited to the method; false to go back.
  bool confirmMeasureForMethod(const AnalysisRequest& request);
  std::optional<QString> askForFile(QFileDialog& prompt);
  void runRequest(const AnalysisRequest& request);
  void endProgram();

  // Page "General".
  QTabWidget* pageTabWidget_{};
  QLabel* clusterMethodLabel_{};
  QComboBox* clusterMethodComboBox_{};
  QLabel* nrOfPermutationsLabel_{};
  QLineEdit* nrOfPermutationsEdit_{};
  QWidget* nrOfPermutationsUpDown_{};
  QGroupBox* proximitiesGroupBox_{};
  QRadioButton* analyzeDataRadioButton_{};
  QRadioButton* analyzeMatrixRadioButton_{};
  QLineEdit* matrixFilenameEdit_{};
  QPushButton* matrixFilenameBrowseButton_{};
  QGroupBox* analyzeDataGroupBox_{};
  QLabel* clusterLabel_{};
  QRadioButton* clusterCasesRadioButton_{};
  QRadioButton* clusterVariablesRadioButton_{};
  QTabWidget* analyzeDataTabWidget_{};
  QListWidget* variableListView_{};
  QPushButton* clusterVariableMoveButton_{};
  QLabel* variablesLabel_{};
  QListWidget* clusterVariableListView_{};
  QPushButton* labelVariableMoveButton_{};
  QLabel* labelCasesByLabel_{};
  QListWidget* labelVariableListView_{};
  QGroupBox* measureGroupBox_{};
  QRadioButton* intervalMeasureRadioButton_{};
  QRadioButton* countsMeasureRadioButton_{};
  QRadioButton* binaryMeasureRadioButton_{};
  QComboBox* intervalMeasureComboBox_{};
  QComboBox* countsMeasureComboBox_{};
  QComboBox* binaryMeasureComboBox_{};
  QLabel* intervalMeasurePowerLabel_{};
  QComboBox* intervalMeasurePowerComboBox_{};
  QLabel* intervalMeasureRootLabel_{};
  QComboBox* intervalMeasureRootComboBox_{};
  QLabel* binaryMeasurePresentLabel_{};
  QLineEdit* binaryMeasurePresentEdit_{};
  QLabel* binaryMeasureAbsentLabel_{};
  QLineEdit* binaryMeasureAbsentEdit_{};
  QGroupBox* transformMeasuresGroupBox_{};
  QCheckBox* transformMeasuresAbsoluteValuesCheckBox_{};
  QCheckBox* transformMeasuresChangeSignCheckBox_{};
  QCheckBox* transformMeasuresRescaleCheckBox_{};
  QLabel* standardizeLabel_{};
  QComboBox* standardizeMethodComboBox_{};
  QRadioButton* standardizeByVariableRadioButton_{};
  QRadioButton* standardizeByCaseRadioButton_{};
  // Page "Options".
  QGroupBox* permutationRandomizationGroupBox_{};
  QCheckBox* firstPermIsIdentityCheckBox_{};
  QRadioButton* randomSeedRadioButton_{};
  QRadioButton* customSeedRadioButton_{};
  QLineEdit* customSeedEdit_{};
  QLabel* customSeedHelpLabel_{};
  QGroupBox* statisticsGroupBox_{};
  QCheckBox* proximityMatrixCheckBox_{};
  QCheckBox* permutationFitCheckBox_{};
  QCheckBox* objectOrderCheckBox_{};
  QCheckBox* agglomerationScheduleCheckBox_{};
  QGroupBox* plotsGroupBox_{};
  QCheckBox* dendrogramCheckBox_{};
  QGroupBox* saveGroupBox_{};
  QCheckBox* savePermutationFitTableCheckBox_{};
  QLineEdit* permutationFitTableFilenameEdit_{};
  QPushButton* permutationFitTableFilenameBrowseButton_{};
  // Below the pages, the menu and the file prompts.
  QPushButton* okButton_{};
  QPushButton* cancelButton_{};
  QMenuBar* mainMenuBar_{};
  QAction* fileMenuExitItem_{};
  QAction* helpMenuKorvanaHelpItem_{};
  QAction* helpMenuAboutItem_{};
  QFileDialog* openMatrixDialog_{};
  QFileDialog* saveTableDialog_{};
  std::array<QIcon, 2> variableTypeImageList_;

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
