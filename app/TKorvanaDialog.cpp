#include "app/TKorvanaDialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
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
#include "app/RecentDataFiles.h"
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
#include "platform/spss/DataSetLoader.h"
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

// File names pass between Qt and the package in the system's encoding, so
// that any name the system allows survives the trip.
QString fromLocalPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string toLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

/// A menu item's text: "&" stands for itself.
QString menuText(QString text) { return text.replace('&', "&&"); }

}  // namespace

TKorvanaDialog::TKorvanaDialog(QWidget* parent) : QDialog(parent) {
  createControls();
  KorvanaApplication::setExceptionHandler([this](const std::string& message) { showApplicationError(message); });
  settingsFile_ = std::make_unique<SettingsFile>();
  settingsFilePath_ = Version::getSettingsFilePath();
  try {
    settingsFile_->load(settingsFilePath_);
  } catch (const EKorvanaError&) {
    // A file that cannot be read counts as no file: the dialog starts from
    // the defaults, and OK reports it if it cannot be written either.
  }
  recentDataFiles_ = settingsFile_->recentDataFiles();
  try {
    connectToStatisticsPackage();
    reopenLastDataFile();
  } catch (const EKorvanaError& error) {
    // The rest of the creation still completes; the program ends before
    // the dialog is used.
    host::showErrorBox(error.what());
    endProgram();
  }
  readVariables();
  updateRecentDataFilesMenu();
  updateWindowTitle();
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
  setAcceptDrops(true);
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
  fileMenu_ = mainMenuBar_->addMenu("&File");
  fileMenu_->setObjectName("fileMenu");
  fileMenu_->setToolTipsVisible(true);
  fileMenuOpenDataItem_ = fileMenu_->addAction("&Open Data...");
  fileMenuOpenDataItem_->setObjectName("fileMenuOpenDataItem");
  fileMenuOpenDataItem_->setShortcut(QKeySequence::Open);
  // The recent data files go between these separators.
  recentDataFilesSeparator_ = fileMenu_->addSeparator();
  fileMenuSaveDrawingsItem_ = fileMenu_->addAction("Save &Drawings as SVG...");
  fileMenuSaveDrawingsItem_->setObjectName("fileMenuSaveDrawingsItem");
  fileMenuSaveDrawingsItem_->setCheckable(true);
  fileMenuSaveDrawingsItem_->setToolTip("After the run, save every tree and curve of the output as an SVG file");
  fileMenu_->addSeparator();
  fileMenuExitItem_ = fileMenu_->addAction("E&xit");
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

  QString extensions;
  for (const std::string& extension : spss::DataSetLoader::extensions())
    extensions += QString(extensions.isEmpty() ? "" : " ") + "*." + QString::fromStdString(extension);
  openDataDialog_ = named(new QFileDialog(this, "Open Data"), "openDataDialog");
  drawingsFolderDialog_ = named(new QFileDialog(this, "Save Drawings as SVG"), "drawingsFolderDialog");
  drawingsFolderDialog_->setFileMode(QFileDialog::Directory);
  drawingsFolderDialog_->setOption(QFileDialog::ShowDirsOnly, true);
  openDataDialog_->setNameFilters({"Data Files (" + extensions + ")", "SPSS Statistics (*.sav *.zsav)",
                                   "SPSS Portable (*.por)", "Stata (*.dta)", "SAS (*.sas7bdat *.xpt)",
                                   "Comma-Separated Values (*.csv)", "All Files (*)"});
  openDataDialog_->setFileMode(QFileDialog::ExistingFile);
  openDataDialog_->setAcceptMode(QFileDialog::AcceptOpen);

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
  connect(fileMenuOpenDataItem_, &QAction::triggered, this, &TKorvanaDialog::fileMenuOpenDataItemClick);
  connect(fileMenu_, &QMenu::aboutToShow, this, &TKorvanaDialog::fileMenuAboutToShow);
  connect(fileMenuExitItem_, &QAction::triggered, this, &TKorvanaDialog::fileMenuExitItemClick);
  connect(fileMenuSaveDrawingsItem_, &QAction::triggered, this, &TKorvanaDialog::fileMenuSaveDrawingsItemClick);
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
  dataFilePath_.clear();
  if (failed(spss::attachToApplication(spss::applicationProgId, spssApplication_.put()))) {
    spssApplication_.reset();
    throw EConnectionFailed();
  }
  inspectActiveData();
}

void TKorvanaDialog::inspectActiveData() {
  hasData_ = false;
  dataFilePath_.clear();
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
  CONNECTION_CALL(dataDocument->GetDocumentPath(&dataFilePath_));
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
// Opening data sets.

bool TKorvanaDialog::openDataFile(const std::string& path) {
  const AutomationPtr<spss::StatisticsPackage> package = spss::StatisticsPackage::running();
  if (!package) {
    host::showErrorBox(EConnectionFailed().what());
    return false;
  }
  try {
    package->replaceActiveDataFile(path);
  } catch (const EKorvanaError& error) {
    // The package read nothing into its documents: the data set, the lists
    // and the choices stay as they were.
    host::showErrorBox(error.what());
    updateRecentDataFilesMenu();
    return false;
  }
  inspectActiveData();
  showNewData();
  rememberDataFile();
  saveDataFileHistory();
  updateRecentDataFilesMenu();
  updateWindowTitle();
  return true;
}

void TKorvanaDialog::reopenLastDataFile() {
  if (hasData_ || !dataFilePath_.empty()) return;
  const std::string last = settingsFile_->lastDataFile();
  std::error_code error;
  // A file that is gone is passed over without a word.
  if (last.empty() || !std::filesystem::is_regular_file(last, error)) return;
  const AutomationPtr<spss::StatisticsPackage> package = spss::StatisticsPackage::running();
  if (!package) return;
  try {
    package->replaceActiveDataFile(last);
  } catch (const EKorvanaError& refused) {
    // A file that is there but cannot be read any more is told once and
    // forgotten, so that the next start does not tell it again.
    host::showErrorBox(refused.what());
    settingsFile_->setLastDataFile("");
    saveDataFileHistory();
    return;
  }
  inspectActiveData();
}

void TKorvanaDialog::showNewData() {
  VariableListsWidget* lists = generalPage_->variableLists();
  const std::vector<std::string> clusterVariables = lists->clusterVariableNames();
  const std::vector<std::string> labelVariables = lists->labelVariableNames();
  freeVariables();
  readVariables();
  // Before the first showing the lists are still to be filled (showEvent).
  if (!shown_) return;
  lists->showVariables(variables_);
  lists->restoreChosenVariables(clusterVariables, labelVariables);
  if (hasData_) {
    generalPage_->allowData();
  } else {
    generalPage_->allowOnlyMatrixFile();
  }
  generalPage_->updateControls();
  optionsPage_->enableProximityMatrix(!generalPage_->analyzesMatrixFile());
  updateOkButton();
}

std::optional<std::string> TKorvanaDialog::droppedDataFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  std::string path = toLocalPath(url.toLocalFile());
  if (path.empty() || !spss::DataSetLoader::readsExtensionOf(path)) return std::nullopt;
  return path;
}

void TKorvanaDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (droppedDataFile(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TKorvanaDialog::dropEvent(QDropEvent* event) {
  const std::optional<std::string> path = droppedDataFile(event->mimeData());
  if (!path) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  // Opened once the drop is over, so that the program the file came from
  // does not wait for a message box.
  QMetaObject::invokeMethod(this, [this, file = *path] { openDataFile(file); }, Qt::QueuedConnection);
}

void TKorvanaDialog::rememberDataFile() {
  if (dataFilePath_.empty()) return;
  recentDataFiles_ = withRecentDataFile(recentDataFiles_, dataFilePath_);
  settingsFile_->setRecentDataFiles(recentDataFiles_);
  settingsFile_->setLastDataFile(dataFilePath_);
}

void TKorvanaDialog::saveDataFileHistory() {
  try {
    // Only these two keys change; what another start of the program wrote
    // meanwhile stays.
    SettingsFile onDisk;
    onDisk.load(settingsFilePath_);
    onDisk.setRecentDataFiles(recentDataFiles_);
    onDisk.setLastDataFile(settingsFile_->lastDataFile());
    if (settingsFilePath_ == Version::getSettingsFilePath()) Version::createSettingsFolder();
    onDisk.save(settingsFilePath_);
  } catch (const EKorvanaError&) {
    // The history stays in memory; OK saves it with the request and reports
    // a settings file that cannot be written.
  }
}

void TKorvanaDialog::updateRecentDataFilesMenu() {
  recentDataFiles_ = existingRecentDataFiles(recentDataFiles_);
  for (QAction* item : recentDataFileItems_) {
    fileMenu_->removeAction(item);
    delete item;
  }
  recentDataFileItems_.clear();
  QAction* before = nullptr;  // the separator above Exit
  const QList<QAction*> items = fileMenu_->actions();
  const qsizetype at = items.indexOf(recentDataFilesSeparator_);
  if (at >= 0 && at + 1 < items.size()) before = items[at + 1];
  const QFontMetrics metrics(fileMenu_->font());
  for (std::size_t i = 0; i < recentDataFiles_.size(); ++i) {
    const QString path = fromLocalPath(recentDataFiles_[i]);
    const QString shown = metrics.elidedText(path, Qt::ElideMiddle, metrics.averageCharWidth() * 60);
    auto* item = new QAction(QString("&%1 ").arg(i + 1) + menuText(shown), fileMenu_);
    item->setObjectName(QString("fileMenuRecentDataFileItem%1").arg(i + 1));
    item->setToolTip(path);
    connect(item, &QAction::triggered, this, [this, file = recentDataFiles_[i]] { openDataFile(file); });
    fileMenu_->insertAction(before, item);
    recentDataFileItems_.push_back(item);
  }
  recentDataFilesSeparator_->setVisible(!recentDataFileItems_.empty());
}

void TKorvanaDialog::updateWindowTitle() {
  if (dataFilePath_.empty()) {
    setWindowTitle("Korvana");
  } else {
    setWindowTitle(QFileInfo(fromLocalPath(dataFilePath_)).fileName() + " - Korvana");
  }
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
  request.membershipFilename = fitTableFileNameOf(request.membershipFilename);
  if (!request.membershipFilename.empty() && !confirmMembershipFile(request.membershipFilename)) return;
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

namespace {

/// Asks whether an existing file may be overwritten (No by default).
host::MessageAnswer askToOverwrite(const std::string& caption, const std::string& fileName) {
  host::MessageBoxRequest question;
  question.caption = caption;
  question.text = "The filename '" + fileName + "' already exists.\nDo you want to overwrite it?";
  question.icon = host::MessageIcon::warning;
  question.buttons = host::MessageButtons::yesNo;
  question.defaultButton = host::MessageAnswer::no;
  return host::messageBoxes().show(question);
}

}  // namespace

bool TKorvanaDialog::confirmFitTableFile(std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::exists(fileName, error)) return true;
  const host::MessageAnswer answer = askToOverwrite("Save Permutation Fit Table", fileName);
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

bool TKorvanaDialog::confirmMembershipFile(const std::string& fileName) {
  std::error_code error;
  // The data set open in the package is never written over.
  if (!dataFilePath_.empty() && std::filesystem::equivalent(fileName, dataFilePath_, error)) {
    host::showErrorBox("The cluster membership cannot be saved to '" + fileName +
                       "': that is the data file being analyzed. Choose another name.");
    return false;
  }
  if (!std::filesystem::exists(fileName, error)) return true;
  return askToOverwrite("Save Membership", fileName) == host::MessageAnswer::yes;
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
  // The data set analyzed is the one to reopen next time, wherever it came
  // from (the command line as well).
  rememberDataFile();
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

void TKorvanaDialog::fileMenuOpenDataItemClick() {
  if (!dataFilePath_.empty()) openDataDialog_->setDirectory(QFileInfo(fromLocalPath(dataFilePath_)).absolutePath());
  if (const std::optional<QString> chosen = askForFile(*openDataDialog_)) openDataFile(toLocalPath(*chosen));
}

void TKorvanaDialog::fileMenuSaveDrawingsItemClick() {
  // Chosen again each time; cancelling the prompt saves none.
  const std::optional<QString> chosen = askForFile(*drawingsFolderDialog_);
  drawingsFolder_ = chosen ? toLocalPath(*chosen) : std::string();
  fileMenuSaveDrawingsItem_->setChecked(!drawingsFolder_.empty());
  fileMenuSaveDrawingsItem_->setToolTip(drawingsFolder_.empty()
                                            ? QString("After the run, save every tree and curve of the output as an "
                                                      "SVG file")
                                            : "The drawings go to " + fromLocalPath(drawingsFolder_));
}

void TKorvanaDialog::fileMenuAboutToShow() {
  // Files removed since the menu was last made leave it.
  updateRecentDataFilesMenu();
}

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
