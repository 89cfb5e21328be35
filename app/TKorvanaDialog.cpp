#include "app/TKorvanaDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <ctime>
#include <filesystem>
#include <new>
#include <optional>

#include "app/GeneralPage.h"
#include "app/KorvanaApplication.h"
#include "app/OptionsPage.h"
#include "app/RequestBinding.h"
#include "app/TAboutDialog.h"
#include "app/TProgressDialog.h"
#include "app/VariableListsWidget.h"
#include "analysis/DataDictionary.h"
#include "analysis/RequestTranslation.h"
#include "analysis/SettingsFile.h"
#include "analysis/SharedInstances.h"
#include "common/EKorvanaError.h"
#include "engine/ClusterMethod.h"
#include "engine/PermutationRun.h"
#include "output/AutomationCallChecks.h"
#include "output/Version.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/host/MessageBoxes.h"
#include "proximity/IntervalMeasureFactory.h"

namespace korvana::app {

namespace {

using automation::AutomationPtr;
using automation::failed;

/// A failure of the connection to the statistics package itself (not a
/// refusal of what it has open).
class EConnectionFailed : public EKorvanaError {
 public:
  EConnectionFailed() : EKorvanaError("Could not connect to Spss, probably Spss is not running.") {}
};

/// Checks an automation call; a failure that the user lets pass is still a
/// failed connection.
void connectionCall(automation::HRESULT result, const char* call, int line) {
  if (failed(output::resultCheckPrompt(result, call, __FILE__, line))) throw EConnectionFailed();
}
#define CONNECTION_CALL(call) connectionCall((call), #call, __LINE__)

template <class T>
T* named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

TKorvanaDialog::TKorvanaDialog(QWidget* parent) : QDialog(parent) {
  createControls();
  KorvanaApplication::setExceptionHandler([this](const std::string& message) { showApplicationError(message); });
  try {
    connectToStatisticsPackage();
  } catch (const EKorvanaError& error) {
    // The rest of the creation still completes; the program ends before
    // the dialog is used.
    host::showErrorBox(error.what());
    endProgram();
  }
  settingsFile_ = std::make_unique<SettingsFile>();
  settingsFilePath_ = Version::getSettingsFilePath();
  try {
    settingsFile_->load(settingsFilePath_);
  } catch (const EKorvanaError&) {
    // A file that cannot be read counts as no file: the dialog starts from
    // the defaults, and OK reports it if it cannot be written either.
  }
  readVariables();
  sharedInstances_ = std::make_unique<SharedInstances>();
}

TKorvanaDialog::~TKorvanaDialog() {
  // The pages outlive this part of the dialog while the widgets are taken
  // down; what they signal from now on has no one to tell.
  generalPage_->blockSignals(true);
  optionsPage_->blockSignals(true);
  KorvanaApplication::setExceptionHandler({});
  settingsFile_.reset();
  freeVariables();
  sharedInstances_.reset();
  spssApplication_.reset();
}

// ---------------------------------------------------------------------------
// The controls.

void TKorvanaDialog::createControls() {
  setObjectName("KorvanaDialog");
  setWindowTitle("Korvana");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  pageTabWidget_ = named(new QTabWidget(this), "pageTabWidget");
  generalPage_ = new GeneralPage;
  pageTabWidget_->addTab(generalPage_, "General");
  optionsPage_ = new OptionsPage;
  pageTabWidget_->addTab(optionsPage_, "Options");
  binding_ = std::make_unique<RequestBinding>(*generalPage_, *optionsPage_);

  okButton_ = named(new QPushButton("OK", this), "okButton");
  okButton_->setDefault(true);
  cancelButton_ = named(new QPushButton("Cancel", this), "cancelButton");
  cancelButton_->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 8, 10, 10);
  createMenu();
  layout->setMenuBar(mainMenuBar_);
  layout->addWidget(pageTabWidget_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  layout->addLayout(buttons);

  createFileDialogs();
  connectHandlers();
}

void TKorvanaDialog::createMenu() {
  mainMenuBar_ = named(new QMenuBar(this), "mainMenuBar");
  QMenu* file = mainMenuBar_->addMenu("&File");
  file->setObjectName("fileMenu");
  fileMenuExitItem_ = file->addAction("E&xit");
  fileMenuExitItem_->setObjectName("fileMenuExitItem");
  QMenu* help = mainMenuBar_->addMenu("&Help");
  help->setObjectName("helpMenu");
  helpMenuKorvanaHelpItem_ = help->addAction("&Korvana Help");
  helpMenuKorvanaHelpItem_->setObjectName("helpMenuKorvanaHelpItem");
  helpMenuAboutItem_ = help->addAction("&About...");
  helpMenuAboutItem_->setObjectName("helpMenuAboutItem");
}

void TKorvanaDialog::createFileDialogs() {
  openMatrixDialog_ = named(new QFileDialog(this, "Open Proximities Matrix"), "openMatrixDialog");
  openMatrixDialog_->setNameFilters({"SPSS (*.sav)", "All Files (*)"});
  openMatrixDialog_->setFileMode(QFileDialog::ExistingFile);
  openMatrixDialog_->setAcceptMode(QFileDialog::AcceptOpen);

  saveTableDialog_ = named(new QFileDialog(this, "Save Permutation Fit Table"), "saveTableDialog");
  saveTableDialog_->setNameFilters({"SPSS (*.sav)"});
  saveTableDialog_->setDefaultSuffix("sav");
  saveTableDialog_->setAcceptMode(QFileDialog::AcceptSave);
  saveTableDialog_->setFileMode(QFileDialog::AnyFile);
  // OK asks before a file is replaced; the prompt does not ask as well.
  saveTableDialog_->setOption(QFileDialog::DontConfirmOverwrite, true);
}

void TKorvanaDialog::connectHandlers() {
  connect(okButton_, &QPushButton::clicked, this, [this] {
    try {
      okButtonClick();
    } catch (...) {
      KorvanaApplication::handleCurrentException();
    }
  });
  connect(cancelButton_, &QPushButton::clicked, this, &TKorvanaDialog::fileMenuExitItemClick);
  connect(fileMenuExitItem_, &QAction::triggered, this, &TKorvanaDialog::fileMenuExitItemClick);
  connect(helpMenuKorvanaHelpItem_, &QAction::triggered, this, &TKorvanaDialog::helpMenuKorvanaHelpItemClick);
  connect(helpMenuAboutItem_, &QAction::triggered, this, &TKorvanaDialog::helpMenuAboutItemClick);
  connect(generalPage_, &GeneralPage::requestChanged, this, &TKorvanaDialog::updateOkButton);
  connect(generalPage_, &GeneralPage::analysisTypeChanged, this, &TKorvanaDialog::analysisTypeChange);
  connect(optionsPage_, &OptionsPage::requestChanged, this, &TKorvanaDialog::updateOkButton);
  connect(generalPage_->matrixFilenameBrowseButton(), &QPushButton::clicked, this,
          &TKorvanaDialog::matrixFilenameBrowseButtonClick);
  connect(optionsPage_->permutationFitTableFilenameBrowseButton(), &QPushButton::clicked, this,
          &TKorvanaDialog::permutationFitTableFilenameBrowseButtonClick);
}

// ---------------------------------------------------------------------------
// Showing and closing.

void TKorvanaDialog::showEvent(QShowEvent* event) {
  if (!shown_) {
    shown_ = true;
    generalPage_->variableLists()->showVariables(variables_);
    generalPage_->fillChoiceLists();
    binding_->restore(settingsFile_->readRequest());
    if (!hasData_) generalPage_->allowOnlyMatrixFile();
    generalPage_->updateControls();
    optionsPage_->enableProximityMatrix(!generalPage_->analyzesMatrixFile());
    optionsPage_->updateControls();
    updateOkButton();
    // As compact as the pages allow, but with room for long variable labels.
    resize(minimumSizeHint().expandedTo(QSize(600, 590)));
    if (QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  }
  QDialog::showEvent(event);
}

void TKorvanaDialog::closeEvent(QCloseEvent* event) {
  // The close box ends the program as Cancel does.
  event->accept();
  endProgram();
}

void TKorvanaDialog::reject() { fileMenuExitItemClick(); }

void TKorvanaDialog::endProgram() {
  if (ended_) return;
  ended_ = true;
  emit programEnded();
}

void TKorvanaDialog::showApplicationError(const std::string& message) {
  host::showErrorBox(message);
  endProgram();
}

// ---------------------------------------------------------------------------
// The statistics package and its data dictionary.

void TKorvanaDialog::connectToStatisticsPackage() {
  hasData_ = false;
  if (failed(spss::attachToApplication(spss::applicationProgId, spssApplication_.put()))) {
    spssApplication_.reset();
    throw EConnectionFailed();
  }
  AutomationPtr<Spsswin_tlb::ISpssDocuments> documents;
  CONNECTION_CALL(spssApplication_->get_Documents(documents.put()));
  std::int32_t dataDocuments = 0;
  CONNECTION_CALL(documents->get_DataDocCount(&dataDocuments));
  if (dataDocuments == 0) return;
  AutomationPtr<Spsswin_tlb::ISpssDataDoc> dataDocument;
  CONNECTION_CALL(documents->GetDataDoc(0, dataDocument.put()));
  std::int32_t variableCount = 0;
  CONNECTION_CALL(dataDocument->GetNumberOfVariables(&variableCount));
  hasData_ = variableCount >= 1;
  std::vector<std::string> splitNames;
  std::int32_t splitCount = 0;
  CONNECTION_CALL(dataDocument->GetSplitVariables(&splitNames, &splitCount));
  if (splitCount > 0) throw EKorvanaError("Split File is not supported.");
}

void TKorvanaDialog::readVariables() {
  variables_.clear();
  if (!hasData_ || !spssApplication_) return;
  try {
    variables_ = readDataDictionary(*spssApplication_);
  } catch (const EKorvanaError&) {
    // The failed call has been reported by its check; the lists stay empty.
    variables_.clear();
  }
}

void TKorvanaDialog::freeVariables() {
  // The lists refer to the variables: they go first.
  generalPage_->variableLists()->clearVariables();
  variables_.clear();
}

// ---------------------------------------------------------------------------
// The request.

AnalysisRequest TKorvanaDialog::collectRequest() const { return binding_->collect(); }

void TKorvanaDialog::updateOkButton() { okButton_->setEnabled(binding_->isComplete()); }

void TKorvanaDialog::analysisTypeChange(bool matrixFile) {
  optionsPage_->enableProximityMatrix(!matrixFile);
  updateOkButton();
}

// ---------------------------------------------------------------------------
// OK: the questions, the settings file and the run.

void TKorvanaDialog::okButtonClick() {
  AnalysisRequest request = collectRequest();
  request.permutationFitTableFilename = fitTableFileNameOf(request.permutationFitTableFilename);
  if (request.savePermutationFitTable && !confirmFitTableFile(request.permutationFitTableFilename)) return;
  if (!confirmMeasureForMethod(request)) return;
  hide();  // for good: one run per start
  try {
    saveSettings(request);
  } catch (const std::exception& error) {
    // Losing the settings does not stop the run.
    host::showErrorBox(error.what());
  }
  runRequest(request);
}

bool TKorvanaDialog::confirmFitTableFile(std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::exists(fileName, error)) return true;
  host::MessageBoxRequest question;
  question.caption = "Save Permutation Fit Table";
  question.text = "The filename '" + fileName + "' already exists.\nDo you want to overwrite it?";
  question.icon = host::MessageIcon::warning;
  question.buttons = host::MessageButtons::yesNo;
  question.defaultButton = host::MessageAnswer::no;
  const host::MessageAnswer answer = host::messageBoxes().show(question);
  if (answer == host::MessageAnswer::yes) return true;
  if (answer != host::MessageAnswer::no) return false;

  // Another name; this prompt asks itself before it replaces a file.
  QFileDialog prompt(this, "Save Permutation Fit Table");
  prompt.setObjectName("overwriteTableDialog");
  prompt.setNameFilters({"SPSS (*.sav)"});
  prompt.setDefaultSuffix("sav");
  prompt.setAcceptMode(QFileDialog::AcceptSave);
  prompt.setFileMode(QFileDialog::AnyFile);
  // A relative name means the working folder, where the question looked.
  prompt.selectFile(QFileInfo(QString::fromStdString(fileName)).absoluteFilePath());
  const std::optional<QString> chosen = askForFile(prompt);
  if (!chosen) return false;
  fileName = chosen->toStdString();
  return true;
}

bool TKorvanaDialog::confirmMeasureForMethod(const AnalysisRequest& request) {
  if (request.analysisType != AnalysisType::data) return true;
  const ClusterMethod* method = generalPage_->chosenClusterMethod();
  if (method == nullptr || !method->needsSquaredEuclidean()) return true;
  const IntervalMeasure* interval = generalPage_->chosenIntervalMeasure();
  if (request.selectedMeasure == 0 && interval == IntervalMeasureFactory::getSquaredEuclideanDistance()) return true;
  host::MessageBoxRequest warning;
  warning.caption = "Warning";
  warning.text =
      "Warning: Invalid measure selected for cluster method.\n\nThe squared Euclidean interval measure should be "
      "used when CENTROID, MEDIAN, or Ward cluster method is requested.\n\nAre you sure you want to continue?";
  warning.icon = host::MessageIcon::warning;
  warning.buttons = host::MessageButtons::yesNoCancel;
  warning.defaultButton = host::MessageAnswer::yes;
  return host::messageBoxes().show(warning) == host::MessageAnswer::yes;
}

void TKorvanaDialog::saveSettings(const AnalysisRequest& request) {
  settingsFile_->writeRequest(request);
  if (settingsFilePath_ == Version::getSettingsFilePath()) Version::createSettingsFolder();
  settingsFile_->save(settingsFilePath_);
}

void TKorvanaDialog::runRequest(const AnalysisRequest& request) {
  try {
    RequestProblems problems;
    const ChosenVariables chosen = chooseVariables(request, variables_, problems);
    std::unique_ptr<ClusterAnalysis> analysis = makeAnalysis(request, chosen, spssApplication_, std::time(nullptr));
    // Every core runs permutations; the results do not depend on how many.
    analysis->setJobs(preferredJobs());
    if (TProgressDialog* progress = TProgressDialog::instance()) analysis->setProgressMonitor(progress);
    runStarted_ = true;
    analysis->run();
  } catch (const std::bad_alloc&) {
    throw EKorvanaError("Out of memory!");
  } catch (const std::exception& error) {
    throw EKorvanaError(error.what());
  } catch (...) {
    throw EKorvanaError("");
  }
  QCoreApplication::processEvents();
  endProgram();
}

// ---------------------------------------------------------------------------
// The menu and the file prompts.

void TKorvanaDialog::fileMenuExitItemClick() {
  hide();
  endProgram();
}

void TKorvanaDialog::helpMenuKorvanaHelpItemClick() {
  // A missing guide or viewer is not reported.
  QDesktopServices::openUrl(QUrl(QString::fromStdString(Version::getUserGuideUrl()), QUrl::TolerantMode));
}

void TKorvanaDialog::helpMenuAboutItemClick() {
  TAboutDialog about(this);
  about.exec();
}

void TKorvanaDialog::matrixFilenameBrowseButtonClick() {
  QLineEdit* edit = generalPage_->matrixFilenameEdit();
  openMatrixDialog_->selectFile(edit->text());
  if (const std::optional<QString> chosen = askForFile(*openMatrixDialog_)) edit->setText(*chosen);
}

void TKorvanaDialog::permutationFitTableFilenameBrowseButtonClick() {
  QLineEdit* edit = optionsPage_->permutationFitTableFilenameEdit();
  saveTableDialog_->selectFile(edit->text());
  if (const std::optional<QString> chosen = askForFile(*saveTableDialog_)) edit->setText(*chosen);
}

std::optional<QString> TKorvanaDialog::askForFile(QFileDialog& prompt) {
  if (filePrompt_) return filePrompt_(prompt);
  if (prompt.exec() != QDialog::Accepted || prompt.selectedFiles().isEmpty()) return std::nullopt;
  return prompt.selectedFiles().front();
}

}  // namespace korvana::app
