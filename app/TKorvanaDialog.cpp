#include "app/TKorvanaDialog.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <new>
#include <optional>
#include <tuple>

#include "app/KorvanaApplication.h"
#include "app/NumberEditKeyFilter.h"
#include "app/TAboutDialog.h"
#include "app/TProgressDialog.h"
#include "analysis/DataDictionary.h"
#include "analysis/RequestTranslation.h"
#include "analysis/SettingsFile.h"
#include "analysis/SharedInstances.h"
#include "engine/ClusterMethodFactory.h"
#include "common/KorvanaError.h"
#include "output/AutomationCallChecks.h"
#include "output/Version.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/host/MessageBoxes.h"
#include "proximity/BinaryMeasureFactory.h"
#include "proximity/CountsMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana::app {

namespace {

using automation::AutomationPtr;
using automation::failed;

constexpr int variableRole = Qt::UserRole;
constexpr int upDownMinimum = 1;
constexpr int upDownMaximum = 32767;

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

/// A whole signed 32-bit number as the edits and the settings file read it.
std::optional<std::int32_t> toInt32(const QString& text) { return parseSettingsInteger(text.toStdString()); }

const Variable* variableOf(const QListWidgetItem* item) {
  return reinterpret_cast<const Variable*>(item->data(variableRole).value<quintptr>());
}

/// The small icons of the variable lists: a ruler-like "1.2" badge for
/// numeric variables and an "a" badge for string variables.
QIcon variableTypeIcon(bool numeric) {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = numeric ? QColor(0x2f, 0x6d, 0xb5) : QColor(0xc8, 0x6a, 0x12);
    const qreal margin = size / 16.0;
    QPainterPath badge;
    badge.addRoundedRect(QRectF(margin, margin, size - 2 * margin, size - 2 * margin), size / 5.0, size / 5.0);
    painter.fillPath(badge, fill);
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(numeric ? size * 9 / 16 : size * 11 / 16);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, size, size * 15 / 16.0), Qt::AlignCenter, numeric ? "12" : "a");
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

/// Selects the entry at a stored position, or the fallback entry when the
/// position lies outside the list.
void selectStoredPosition(QComboBox* list, std::int32_t position, int fallback) {
  list->setCurrentIndex(position >= 0 && position < list->count() ? position : fallback);
}

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
  variableTypeImageList_ = {variableTypeIcon(true), variableTypeIcon(false)};

  pageTabWidget_ = named(new QTabWidget(this), "pageTabWidget");
  pageTabWidget_->addTab(createGeneralPage(), "General");
  pageTabWidget_->addTab(createOptionsPage(), "Options");

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

QWidget* TKorvanaDialog::createGeneralPage() {
  auto* page = named(new QWidget, "generalPage");

  clusterMethodLabel_ = named(new QLabel("Cluster Method:", page), "clusterMethodLabel");
  clusterMethodComboBox_ = named(new QComboBox(page), "clusterMethodComboBox");
  clusterMethodLabel_->setBuddy(clusterMethodComboBox_);
  nrOfPermutationsLabel_ = named(new QLabel("Number of Permutations:", page), "nrOfPermutationsLabel");
  nrOfPermutationsEdit_ = named(new QLineEdit("1", page), "nrOfPermutationsEdit");
  nrOfPermutationsEdit_->setMaximumWidth(nrOfPermutationsEdit_->fontMetrics().horizontalAdvance("00000000000") + 12);
  nrOfPermutationsLabel_->setBuddy(nrOfPermutationsEdit_);

  // The up-down arrows beside the edit.
  nrOfPermutationsUpDown_ = named(new QWidget(page), "nrOfPermutationsUpDown");
  auto* arrows = new QVBoxLayout(nrOfPermutationsUpDown_);
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  const int arrowHeight = nrOfPermutationsEdit_->sizeHint().height() / 2;
  for (const auto& [arrow, step, name] : {std::tuple{Qt::UpArrow, 1, "nrOfPermutationsUpButton"},
                                          std::tuple{Qt::DownArrow, -1, "nrOfPermutationsDownButton"}}) {
    auto* button = named(new QToolButton(nrOfPermutationsUpDown_), name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(arrowHeight + 6, arrowHeight);
    arrows->addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, s = step] { nrOfPermutationsUpDownClick(s); });
  }

  auto* top = new QGridLayout;
  top->addWidget(clusterMethodLabel_, 0, 0);
  top->addWidget(clusterMethodComboBox_, 0, 1, 1, 3);
  top->addWidget(nrOfPermutationsLabel_, 1, 0);
  top->addWidget(nrOfPermutationsEdit_, 1, 1);
  top->addWidget(nrOfPermutationsUpDown_, 1, 2);
  top->setColumnStretch(3, 1);
  top->setHorizontalSpacing(6);

  proximitiesGroupBox_ = named(new QGroupBox("Proximities", page), "proximitiesGroupBox");
  analyzeDataRadioButton_ =
      named(new QRadioButton("Analyze original data in Spss Data View", proximitiesGroupBox_), "analyzeDataRadioButton");
  analyzeDataRadioButton_->setChecked(true);
  analyzeMatrixRadioButton_ = named(
      new QRadioButton("Read and analyze a with Spss Proximities created matrix", proximitiesGroupBox_),
      "analyzeMatrixRadioButton");
  matrixFilenameEdit_ = named(new QLineEdit(proximitiesGroupBox_), "matrixFilenameEdit");
  matrixFilenameBrowseButton_ = named(new QPushButton("Browse...", proximitiesGroupBox_), "matrixFilenameBrowseButton");
  matrixFilenameBrowseButton_->setAutoDefault(false);
  auto* proximities = new QGridLayout(proximitiesGroupBox_);
  proximities->addWidget(analyzeDataRadioButton_, 0, 0, 1, 2);
  proximities->addWidget(analyzeMatrixRadioButton_, 1, 0, 1, 2);
  proximities->addWidget(matrixFilenameEdit_, 2, 0);
  proximities->addWidget(matrixFilenameBrowseButton_, 2, 1);
  proximities->setColumnMinimumWidth(0, 200);
  proximities->setContentsMargins(10, 6, 10, 8);
  // The file name belongs to the second choice: indent it under its text.
  const int indent = analyzeMatrixRadioButton_->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) + 6;
  matrixFilenameEdit_->setContentsMargins(0, 0, 0, 0);
  proximities->setColumnMinimumWidth(0, indent);
  auto* fileRow = new QHBoxLayout;
  fileRow->addSpacing(indent);
  fileRow->addWidget(matrixFilenameEdit_, 1);
  fileRow->addWidget(matrixFilenameBrowseButton_);
  proximities->addLayout(fileRow, 2, 0, 1, 2);

  analyzeDataGroupBox_ = named(new QGroupBox("Analyze Data", page), "analyzeDataGroupBox");
  clusterLabel_ = named(new QLabel("Cluster:", analyzeDataGroupBox_), "clusterLabel");
  clusterCasesRadioButton_ = named(new QRadioButton("Cases", analyzeDataGroupBox_), "clusterCasesRadioButton");
  clusterCasesRadioButton_->setChecked(true);
  clusterVariablesRadioButton_ =
      named(new QRadioButton("Variables", analyzeDataGroupBox_), "clusterVariablesRadioButton");
  analyzeDataTabWidget_ = named(new QTabWidget(analyzeDataGroupBox_), "analyzeDataTabWidget");
  analyzeDataTabWidget_->addTab(createVariablesTab(), "Variables");
  analyzeDataTabWidget_->addTab(createMeasureTab(), "Measure");
  analyzeDataTabWidget_->addTab(createStandardizeTab(), "Standardize");
  auto* analyzeData = new QVBoxLayout(analyzeDataGroupBox_);
  analyzeData->setContentsMargins(10, 6, 10, 10);
  auto* view = new QHBoxLayout;
  view->addWidget(clusterLabel_);
  view->addSpacing(8);
  view->addWidget(clusterCasesRadioButton_);
  view->addSpacing(8);
  view->addWidget(clusterVariablesRadioButton_);
  view->addStretch();
  analyzeData->addLayout(view);
  analyzeData->addWidget(analyzeDataTabWidget_, 1);

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addLayout(top);
  layout->addWidget(proximitiesGroupBox_);
  layout->addWidget(analyzeDataGroupBox_, 1);
  return page;
}

QWidget* TKorvanaDialog::createVariablesTab() {
  auto* tab = named(new QWidget, "variablesTab");
  const auto makeList = [tab, this](const char* name) {
    auto* list = named(new QListWidget(tab), name);
    list->setIconSize(QSize(16, 16));
    list->setUniformItemSizes(true);
    list->setTextElideMode(Qt::ElideRight);
    list->installEventFilter(this);
    list->setMinimumWidth(150);
    return list;
  };
  variableListView_ = makeList("variableListView");
  variableListView_->setMinimumHeight(120);
  variableListView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  clusterVariableListView_ = makeList("clusterVariableListView");
  clusterVariableListView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  labelVariableListView_ = makeList("labelVariableListView");
  labelVariableListView_->setSelectionMode(QAbstractItemView::SingleSelection);
  labelVariableListView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // One row high.
  const int row = std::max(labelVariableListView_->fontMetrics().height(), 16) + 6;
  labelVariableListView_->setFixedHeight(row + 2 * labelVariableListView_->frameWidth());

  clusterVariableMoveButton_ = named(new QPushButton(">>", tab), "clusterVariableMoveButton");
  labelVariableMoveButton_ = named(new QPushButton(">>", tab), "labelVariableMoveButton");
  for (QPushButton* button : {clusterVariableMoveButton_, labelVariableMoveButton_}) {
    button->setAutoDefault(false);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(">>") + 28);
  }
  variablesLabel_ = named(new QLabel("Variable(s):", tab), "variablesLabel");
  variablesLabel_->setBuddy(clusterVariableListView_);
  labelCasesByLabel_ = named(new QLabel("Label Cases by:", tab), "labelCasesByLabel");
  labelCasesByLabel_->setBuddy(labelVariableListView_);

  auto* layout = new QGridLayout(tab);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setHorizontalSpacing(8);
  layout->setVerticalSpacing(3);
  layout->addWidget(variableListView_, 0, 0, 5, 1);
  layout->addWidget(variablesLabel_, 0, 2);
  layout->addWidget(clusterVariableMoveButton_, 1, 1, Qt::AlignTop);
  layout->addWidget(clusterVariableListView_, 1, 2);
  layout->addItem(new QSpacerItem(0, 6), 2, 2);
  layout->addWidget(labelCasesByLabel_, 3, 2);
  layout->addWidget(labelVariableMoveButton_, 4, 1, Qt::AlignVCenter);
  layout->addWidget(labelVariableListView_, 4, 2);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(2, 1);
  layout->setRowStretch(1, 1);
  return tab;
}

QWidget* TKorvanaDialog::createMeasureTab() {
  auto* tab = named(new QWidget, "measureTab");
  measureGroupBox_ = named(new QGroupBox("Measure", tab), "measureGroupBox");
  intervalMeasureRadioButton_ = named(new QRadioButton("Interval:", measureGroupBox_), "intervalMeasureRadioButton");
  intervalMeasureRadioButton_->setChecked(true);
  countsMeasureRadioButton_ = named(new QRadioButton("Counts:", measureGroupBox_), "countsMeasureRadioButton");
  binaryMeasureRadioButton_ = named(new QRadioButton("Binary:", measureGroupBox_), "binaryMeasureRadioButton");
  intervalMeasureComboBox_ = named(new QComboBox(measureGroupBox_), "intervalMeasureComboBox");
  countsMeasureComboBox_ = named(new QComboBox(measureGroupBox_), "countsMeasureComboBox");
  binaryMeasureComboBox_ = named(new QComboBox(measureGroupBox_), "binaryMeasureComboBox");
  intervalMeasurePowerLabel_ = named(new QLabel("Power:", measureGroupBox_), "intervalMeasurePowerLabel");
  intervalMeasurePowerComboBox_ = named(new QComboBox(measureGroupBox_), "intervalMeasurePowerComboBox");
  intervalMeasureRootLabel_ = named(new QLabel("Root:", measureGroupBox_), "intervalMeasureRootLabel");
  intervalMeasureRootComboBox_ = named(new QComboBox(measureGroupBox_), "intervalMeasureRootComboBox");
  for (QComboBox* box : {intervalMeasurePowerComboBox_, intervalMeasureRootComboBox_}) {
    box->addItems({"1", "2", "3", "4"});
    box->setCurrentIndex(1);
  }
  intervalMeasurePowerLabel_->setBuddy(intervalMeasurePowerComboBox_);
  intervalMeasureRootLabel_->setBuddy(intervalMeasureRootComboBox_);
  binaryMeasurePresentLabel_ = named(new QLabel("Present:", measureGroupBox_), "binaryMeasurePresentLabel");
  binaryMeasurePresentEdit_ = named(new QLineEdit("1", measureGroupBox_), "binaryMeasurePresentEdit");
  binaryMeasureAbsentLabel_ = named(new QLabel("Absent:", measureGroupBox_), "binaryMeasureAbsentLabel");
  binaryMeasureAbsentEdit_ = named(new QLineEdit("0", measureGroupBox_), "binaryMeasureAbsentEdit");
  binaryMeasurePresentLabel_->setBuddy(binaryMeasurePresentEdit_);
  binaryMeasureAbsentLabel_->setBuddy(binaryMeasureAbsentEdit_);
  const int numberWidth = binaryMeasurePresentEdit_->fontMetrics().horizontalAdvance("-2147483648") + 14;
  binaryMeasurePresentEdit_->setFixedWidth(numberWidth);
  binaryMeasureAbsentEdit_->setFixedWidth(numberWidth);

  auto* measures = new QGridLayout(measureGroupBox_);
  measures->setContentsMargins(10, 6, 10, 8);
  measures->setHorizontalSpacing(6);
  measures->setVerticalSpacing(4);
  measures->addWidget(intervalMeasureRadioButton_, 0, 0);
  measures->addWidget(intervalMeasureComboBox_, 0, 1, 1, 4);
  auto* powerRoot = new QHBoxLayout;
  powerRoot->setSpacing(6);
  powerRoot->addWidget(intervalMeasurePowerLabel_);
  powerRoot->addWidget(intervalMeasurePowerComboBox_);
  powerRoot->addSpacing(16);
  powerRoot->addWidget(intervalMeasureRootLabel_);
  powerRoot->addWidget(intervalMeasureRootComboBox_);
  powerRoot->addStretch();
  measures->addLayout(powerRoot, 1, 1, 1, 4);
  measures->addWidget(countsMeasureRadioButton_, 2, 0);
  measures->addWidget(countsMeasureComboBox_, 2, 1, 1, 4);
  measures->addWidget(binaryMeasureRadioButton_, 3, 0);
  measures->addWidget(binaryMeasureComboBox_, 3, 1, 1, 4);
  auto* presentAbsent = new QHBoxLayout;
  presentAbsent->setSpacing(6);
  presentAbsent->addWidget(binaryMeasurePresentLabel_);
  presentAbsent->addWidget(binaryMeasurePresentEdit_);
  presentAbsent->addSpacing(16);
  presentAbsent->addWidget(binaryMeasureAbsentLabel_);
  presentAbsent->addWidget(binaryMeasureAbsentEdit_);
  presentAbsent->addStretch();
  measures->addLayout(presentAbsent, 4, 1, 1, 4);
  measures->setColumnStretch(4, 1);

  transformMeasuresGroupBox_ = named(new QGroupBox("Transform Measures", tab), "transformMeasuresGroupBox");
  transformMeasuresAbsoluteValuesCheckBox_ =
      named(new QCheckBox("Absolute values", transformMeasuresGroupBox_), "transformMeasuresAbsoluteValuesCheckBox");
  transformMeasuresChangeSignCheckBox_ =
      named(new QCheckBox("Change sign", transformMeasuresGroupBox_), "transformMeasuresChangeSignCheckBox");
  transformMeasuresRescaleCheckBox_ =
      named(new QCheckBox("Rescale to 0-1 range", transformMeasuresGroupBox_), "transformMeasuresRescaleCheckBox");
  auto* transforms = new QHBoxLayout(transformMeasuresGroupBox_);
  transforms->setContentsMargins(10, 4, 10, 6);
  transforms->addWidget(transformMeasuresAbsoluteValuesCheckBox_);
  transforms->addWidget(transformMeasuresChangeSignCheckBox_);
  transforms->addWidget(transformMeasuresRescaleCheckBox_);
  transforms->addStretch();

  auto* layout = new QVBoxLayout(tab);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(measureGroupBox_);
  layout->addWidget(transformMeasuresGroupBox_);
  layout->addStretch();
  return tab;
}

QWidget* TKorvanaDialog::createStandardizeTab() {
  auto* tab = named(new QWidget, "standardizeTab");
  standardizeLabel_ = named(new QLabel("Standardize:", tab), "standardizeLabel");
  standardizeMethodComboBox_ = named(new QComboBox(tab), "standardizeMethodComboBox");
  standardizeLabel_->setBuddy(standardizeMethodComboBox_);
  standardizeByVariableRadioButton_ = named(new QRadioButton("By variable", tab), "standardizeByVariableRadioButton");
  standardizeByVariableRadioButton_->setChecked(true);
  standardizeByCaseRadioButton_ = named(new QRadioButton("By case", tab), "standardizeByCaseRadioButton");

  auto* layout = new QGridLayout(tab);
  layout->setContentsMargins(8, 10, 8, 8);
  layout->setHorizontalSpacing(8);
  layout->addWidget(standardizeLabel_, 0, 0);
  layout->addWidget(standardizeMethodComboBox_, 0, 1);
  layout->addWidget(standardizeByVariableRadioButton_, 1, 1);
  layout->addWidget(standardizeByCaseRadioButton_, 2, 1);
  layout->setColumnStretch(2, 1);
  layout->setRowStretch(3, 1);
  return tab;
}

QWidget* TKorvanaDialog::createOptionsPage() {
  auto* page = named(new QWidget, "optionsPage");

  permutationRandomizationGroupBox_ =
      named(new QGroupBox("Permutation Randomization", page), "permutationRandomizationGroupBox");
  firstPermIsIdentityCheckBox_ = named(
      new QCheckBox("First permutation is identity", permutationRandomizationGroupBox_), "firstPermIsIdentityCheckBox");
  firstPermIsIdentityCheckBox_->setChecked(true);
  randomSeedRadioButton_ = named(new QRadioButton("Random seed", permutationRandomizationGroupBox_), "randomSeedRadioButton");
  randomSeedRadioButton_->setChecked(true);
  customSeedRadioButton_ = named(new QRadioButton("Custom seed", permutationRandomizationGroupBox_), "customSeedRadioButton");
  customSeedEdit_ = named(new QLineEdit(permutationRandomizationGroupBox_), "customSeedEdit");
  customSeedEdit_->setFixedWidth(customSeedEdit_->fontMetrics().horizontalAdvance("-2147483648") + 14);
  customSeedHelpLabel_ = named(new QLabel("(value between -2,147,483,648 and  2,147,483,647)",
                                          permutationRandomizationGroupBox_),
                               "customSeedHelpLabel");
  auto* randomisation = new QGridLayout(permutationRandomizationGroupBox_);
  randomisation->setContentsMargins(10, 6, 10, 8);
  randomisation->setVerticalSpacing(4);
  randomisation->addWidget(firstPermIsIdentityCheckBox_, 0, 0, 1, 3);
  randomisation->addWidget(randomSeedRadioButton_, 1, 0, 1, 3);
  randomisation->addWidget(customSeedRadioButton_, 2, 0);
  randomisation->addWidget(customSeedEdit_, 2, 1);
  randomisation->addWidget(customSeedHelpLabel_, 3, 1, 1, 2);
  randomisation->setColumnStretch(2, 1);

  statisticsGroupBox_ = named(new QGroupBox("Statistics", page), "statisticsGroupBox");
  proximityMatrixCheckBox_ = named(new QCheckBox("Proximity matrix", statisticsGroupBox_), "proximityMatrixCheckBox");
  permutationFitCheckBox_ = named(new QCheckBox("Permutation fit", statisticsGroupBox_), "permutationFitCheckBox");
  objectOrderCheckBox_ = named(new QCheckBox("Object order", statisticsGroupBox_), "objectOrderCheckBox");
  agglomerationScheduleCheckBox_ =
      named(new QCheckBox("Agglomeration schedule", statisticsGroupBox_), "agglomerationScheduleCheckBox");
  agglomerationScheduleCheckBox_->setChecked(true);
  auto* statistics = new QVBoxLayout(statisticsGroupBox_);
  statistics->setContentsMargins(10, 6, 10, 8);
  statistics->setSpacing(4);
  for (QCheckBox* box :
       {proximityMatrixCheckBox_, permutationFitCheckBox_, objectOrderCheckBox_, agglomerationScheduleCheckBox_})
    statistics->addWidget(box);

  plotsGroupBox_ = named(new QGroupBox("Plots", page), "plotsGroupBox");
  dendrogramCheckBox_ = named(new QCheckBox("Dendrogram", plotsGroupBox_), "dendrogramCheckBox");
  auto* plots = new QVBoxLayout(plotsGroupBox_);
  plots->setContentsMargins(10, 6, 10, 8);
  plots->addWidget(dendrogramCheckBox_);
  plots->addStretch();

  saveGroupBox_ = named(new QGroupBox("Save", page), "saveGroupBox");
  savePermutationFitTableCheckBox_ =
      named(new QCheckBox("Permutation fit table", saveGroupBox_), "savePermutationFitTableCheckBox");
  permutationFitTableFilenameEdit_ = named(new QLineEdit(saveGroupBox_), "permutationFitTableFilenameEdit");
  permutationFitTableFilenameBrowseButton_ =
      named(new QPushButton("Browse...", saveGroupBox_), "permutationFitTableFilenameBrowseButton");
  permutationFitTableFilenameBrowseButton_->setAutoDefault(false);
  auto* save = new QGridLayout(saveGroupBox_);
  save->setContentsMargins(10, 6, 10, 8);
  save->addWidget(savePermutationFitTableCheckBox_, 0, 0, 1, 2);
  save->addWidget(permutationFitTableFilenameEdit_, 1, 0);
  save->addWidget(permutationFitTableFilenameBrowseButton_, 1, 1);

  auto* outputs = new QHBoxLayout;
  outputs->addWidget(statisticsGroupBox_, 1);
  outputs->addWidget(plotsGroupBox_, 1);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(permutationRandomizationGroupBox_);
  layout->addLayout(outputs);
  layout->addWidget(saveGroupBox_);
  layout->addStretch();
  return page;
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
  const auto guard = [this](void (TKorvanaDialog::*handler)()) {
    return [this, handler] {
      try {
        (this->*handler)();
      } catch (...) {
        KorvanaApplication::handleCurrentException();
      }
    };
  };
  connect(okButton_, &QPushButton::clicked, this, guard(&TKorvanaDialog::okButtonClick));
  connect(cancelButton_, &QPushButton::clicked, this, &TKorvanaDialog::fileMenuExitItemClick);
  connect(fileMenuExitItem_, &QAction::triggered, this, &TKorvanaDialog::fileMenuExitItemClick);
  connect(helpMenuKorvanaHelpItem_, &QAction::triggered, this, &TKorvanaDialog::helpMenuKorvanaHelpItemClick);
  connect(helpMenuAboutItem_, &QAction::triggered, this, &TKorvanaDialog::helpMenuAboutItemClick);
  connect(analyzeDataRadioButton_, &QRadioButton::clicked, this, &TKorvanaDialog::proximitiesGroupBoxClick);
  connect(analyzeMatrixRadioButton_, &QRadioButton::clicked, this, &TKorvanaDialog::proximitiesGroupBoxClick);
  connect(clusterCasesRadioButton_, &QRadioButton::clicked, this, &TKorvanaDialog::clusterCasesRadioButtonClick);
  connect(clusterVariablesRadioButton_, &QRadioButton::clicked, this,
          &TKorvanaDialog::clusterVariablesRadioButtonClick);
  connect(variableListView_, &QListWidget::itemSelectionChanged, this, &TKorvanaDialog::variableListViewSelectItem);
  connect(clusterVariableListView_, &QListWidget::itemSelectionChanged, this,
          &TKorvanaDialog::clusterVariableListViewSelectItem);
  connect(labelVariableListView_, &QListWidget::itemSelectionChanged, this,
          &TKorvanaDialog::labelVariableListViewSelectItem);
  connect(clusterVariableMoveButton_, &QPushButton::clicked, this, &TKorvanaDialog::clusterVariableMoveButtonClick);
  connect(labelVariableMoveButton_, &QPushButton::clicked, this, &TKorvanaDialog::labelVariableMoveButtonClick);
  connect(intervalMeasureRadioButton_, &QRadioButton::clicked, this,
          &TKorvanaDialog::intervalMeasureRadioButtonClick);
  connect(countsMeasureRadioButton_, &QRadioButton::clicked, this, &TKorvanaDialog::countsMeasureRadioButtonClick);
  connect(binaryMeasureRadioButton_, &QRadioButton::clicked, this, &TKorvanaDialog::binaryMeasureRadioButtonClick);
  connect(intervalMeasureComboBox_, &QComboBox::currentIndexChanged, this,
          &TKorvanaDialog::intervalMeasureComboBoxChange);
  connect(countsMeasureComboBox_, &QComboBox::currentIndexChanged, this,
          &TKorvanaDialog::countsMeasureComboBoxChange);
  connect(binaryMeasureComboBox_, &QComboBox::currentIndexChanged, this,
          &TKorvanaDialog::binaryMeasureComboBoxChange);
  connect(standardizeMethodComboBox_, &QComboBox::currentIndexChanged, this,
          &TKorvanaDialog::standardizeMethodComboBoxChange);
  connect(randomSeedRadioButton_, &QRadioButton::clicked, this, &TKorvanaDialog::randomSeedRadioButtonClick);
  connect(customSeedRadioButton_, &QRadioButton::clicked, this, &TKorvanaDialog::customSeedRadioButtonClick);
  connect(savePermutationFitTableCheckBox_, &QCheckBox::clicked, this,
          &TKorvanaDialog::savePermutationFitTableCheckBoxClick);
  connect(nrOfPermutationsEdit_, &QLineEdit::textChanged, this, &TKorvanaDialog::nrOfPermutationsEditChange);
  connect(binaryMeasurePresentEdit_, &QLineEdit::textChanged, this, &TKorvanaDialog::binaryMeasurePresentEditChange);
  connect(binaryMeasureAbsentEdit_, &QLineEdit::textChanged, this, &TKorvanaDialog::binaryMeasureAbsentEditChange);
  connect(customSeedEdit_, &QLineEdit::textChanged, this, &TKorvanaDialog::customSeedEditChange);
  connect(matrixFilenameEdit_, &QLineEdit::textChanged, this, &TKorvanaDialog::matrixFilenameEditChange);
  connect(permutationFitTableFilenameEdit_, &QLineEdit::textChanged, this,
          &TKorvanaDialog::permutationFitTableFilenameEditChange);
  connect(matrixFilenameBrowseButton_, &QPushButton::clicked, this,
          &TKorvanaDialog::matrixFilenameBrowseButtonClick);
  connect(permutationFitTableFilenameBrowseButton_, &QPushButton::clicked, this,
          &TKorvanaDialog::permutationFitTableFilenameBrowseButtonClick);
  NumberEditKeyFilter::install(nrOfPermutationsEdit_, NumberEditKeyFilter::Sign::none);
  for (QLineEdit* edit : {binaryMeasurePresentEdit_, binaryMeasureAbsentEdit_, customSeedEdit_})
    NumberEditKeyFilter::install(edit, NumberEditKeyFilter::Sign::minusAllowed);
}

// ---------------------------------------------------------------------------
// Showing and closing.

void TKorvanaDialog::showEvent(QShowEvent* event) {
  if (!shown_) {
    shown_ = true;
    fillVariableListView();
    fillClusterMethodComboBox();
    fillIntervalMeasureComboBox();
    fillCountsMeasureComboBox();
    fillBinaryMeasureComboBox();
    fillStandardizeMethodComboBox();
    loadSettings();
    if (!hasData_) {
      analyzeMatrixRadioButton_->setChecked(true);
      analyzeDataRadioButton_->setEnabled(false);
    }
    updateProximityControls();
    updateOptionControls();
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

// ---------------------------------------------------------------------------
// The data dictionary.

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

void TKorvanaDialog::fillVariableListView() {
  for (const Variable& variable : variables_) variableListView_->addItem(makeItem(variable));
}

void TKorvanaDialog::freeVariables() {
  // The lists refer to the variables: they go first.
  for (QListWidget* list : {variableListView_, clusterVariableListView_, labelVariableListView_}) list->clear();
  variables_.clear();
}

QListWidgetItem* TKorvanaDialog::makeItem(const Variable& variable) const {
  auto* item = new QListWidgetItem(variableTypeImageList_[variable.isNumeric() ? 0 : 1],
                                   QString::fromStdString(variable.getDisplayText()));
  item->setData(variableRole, QVariant::fromValue(reinterpret_cast<quintptr>(&variable)));
  item->setToolTip(item->text());
  return item;
}

QListWidgetItem* TKorvanaDialog::makeItem(const QListWidgetItem& from) const {
  auto* item = new QListWidgetItem(from.icon(), from.text());
  item->setData(variableRole, from.data(variableRole));
  item->setToolTip(from.text());
  return item;
}

void TKorvanaDialog::fillClusterMethodComboBox() {
  clusterMethodComboBox_->clear();
  for (ClusterMethod* method : ClusterMethodFactory::getClusterMethods())
    clusterMethodComboBox_->addItem(QString::fromStdString(method->getName()),
                                    QVariant::fromValue(reinterpret_cast<quintptr>(method)));
  clusterMethodComboBox_->setCurrentIndex(0);
}

void TKorvanaDialog::fillIntervalMeasureComboBox() {
  intervalMeasureComboBox_->clear();
  for (IntervalMeasure* measure : IntervalMeasureFactory::getIntervalMeasures())
    intervalMeasureComboBox_->addItem(QString::fromStdString(measure->getName()),
                                      QVariant::fromValue(reinterpret_cast<quintptr>(measure)));
  intervalMeasureComboBox_->setCurrentIndex(1);
}

void TKorvanaDialog::fillCountsMeasureComboBox() {
  countsMeasureComboBox_->clear();
  for (CountsMeasure* measure : CountsMeasureFactory::getCountsMeasures())
    countsMeasureComboBox_->addItem(QString::fromStdString(measure->getName()),
                                    QVariant::fromValue(reinterpret_cast<quintptr>(measure)));
  countsMeasureComboBox_->setCurrentIndex(0);
}

void TKorvanaDialog::fillBinaryMeasureComboBox() {
  binaryMeasureComboBox_->clear();
  for (BinaryMeasure* measure : BinaryMeasureFactory::getBinaryMeasures())
    binaryMeasureComboBox_->addItem(QString::fromStdString(measure->getName()),
                                    QVariant::fromValue(reinterpret_cast<quintptr>(measure)));
  binaryMeasureComboBox_->setCurrentIndex(1);
}

void TKorvanaDialog::fillStandardizeMethodComboBox() {
  standardizeMethodComboBox_->clear();
  for (StandardizeMethod* method : StandardizeMethodFactory::getStandardizeMethods())
    standardizeMethodComboBox_->addItem(QString::fromStdString(method->getName()),
                                        QVariant::fromValue(reinterpret_cast<quintptr>(method)));
  standardizeMethodComboBox_->setCurrentIndex(0);
}

// ---------------------------------------------------------------------------
// The update operations.

void TKorvanaDialog::updateProximityControls() {
  const bool matrix = analyzeMatrixRadioButton_->isChecked();
  matrixFilenameEdit_->setEnabled(matrix);
  matrixFilenameBrowseButton_->setEnabled(matrix);
  for (QWidget* control :
       std::initializer_list<QWidget*>{clusterLabel_, clusterCasesRadioButton_, clusterVariablesRadioButton_,
                                       analyzeDataTabWidget_})
    control->setEnabled(!matrix);
  updateVariableControls();
  updateMeasureControls();
  updateStandardizeControls();
  updateOkButton();
}

void TKorvanaDialog::updateVariableControls() {
  const bool analyzeData = analyzeDataRadioButton_->isChecked();
  variableListView_->setEnabled(analyzeData);
  variablesLabel_->setEnabled(analyzeData);
  clusterVariableListView_->setEnabled(analyzeData);
  const bool labels = analyzeData && clusterCasesRadioButton_->isChecked();
  labelCasesByLabel_->setEnabled(labels);
  labelVariableListView_->setEnabled(labels);
  updateClusterVariableMoveButton();
  updateLabelVariableMoveButton();
}

void TKorvanaDialog::updateMeasureControls() {
  const bool analyzeData = analyzeDataRadioButton_->isChecked();
  for (QWidget* control : std::initializer_list<QWidget*>{
           intervalMeasureRadioButton_, countsMeasureRadioButton_, binaryMeasureRadioButton_,
           transformMeasuresAbsoluteValuesCheckBox_, transformMeasuresChangeSignCheckBox_,
           transformMeasuresRescaleCheckBox_, standardizeLabel_})
    control->setEnabled(analyzeData);
  const bool interval = analyzeData && intervalMeasureRadioButton_->isChecked();
  intervalMeasureComboBox_->setEnabled(interval);
  const auto* selected =
      reinterpret_cast<const IntervalMeasure*>(intervalMeasureComboBox_->currentData().value<quintptr>());
  const bool power = interval && selected != nullptr && selected->getUsesPower();
  const bool root = interval && selected != nullptr && selected->getUsesRoot();
  intervalMeasurePowerLabel_->setEnabled(power);
  intervalMeasurePowerComboBox_->setEnabled(power);
  intervalMeasureRootLabel_->setEnabled(root);
  intervalMeasureRootComboBox_->setEnabled(root);
  countsMeasureComboBox_->setEnabled(analyzeData && countsMeasureRadioButton_->isChecked());
  const bool binary = analyzeData && binaryMeasureRadioButton_->isChecked();
  for (QWidget* control : std::initializer_list<QWidget*>{binaryMeasureComboBox_, binaryMeasurePresentLabel_,
                                                          binaryMeasurePresentEdit_, binaryMeasureAbsentLabel_,
                                                          binaryMeasureAbsentEdit_})
    control->setEnabled(binary);
}

void TKorvanaDialog::updateStandardizeControls() {
  const bool standardize = analyzeDataRadioButton_->isChecked() && !binaryMeasureRadioButton_->isChecked();
  standardizeMethodComboBox_->setEnabled(standardize);
  const auto* selected =
      reinterpret_cast<const StandardizeMethod*>(standardizeMethodComboBox_->currentData().value<quintptr>());
  const bool direction = standardize && selected != nullptr && !selected->isNone();
  standardizeByVariableRadioButton_->setEnabled(direction);
  standardizeByCaseRadioButton_->setEnabled(direction);
}

void TKorvanaDialog::updateOptionControls() {
  proximityMatrixCheckBox_->setEnabled(!analyzeMatrixRadioButton_->isChecked());
  const bool custom = customSeedRadioButton_->isChecked();
  customSeedEdit_->setEnabled(custom);
  customSeedHelpLabel_->setEnabled(custom);
  const bool save = savePermutationFitTableCheckBox_->isChecked();
  permutationFitTableFilenameEdit_->setEnabled(save);
  permutationFitTableFilenameBrowseButton_->setEnabled(save);
  updateOkButton();
}

void TKorvanaDialog::updateClusterVariableMoveButton() {
  if (variableListView_->hasFocus()) {
    clusterVariableMoveButton_->setText(">>");
    for (QListWidget* other : {clusterVariableListView_, labelVariableListView_}) {
      const QSignalBlocker quiet(other);
      other->clearSelection();
    }
    const QList<QListWidgetItem*> selected = variableListView_->selectedItems();
    bool numeric = !selected.isEmpty();
    for (const QListWidgetItem* item : selected) numeric = numeric && variableOf(item)->isNumeric();
    clusterVariableMoveButton_->setEnabled(numeric);
  } else if (clusterVariableListView_->hasFocus()) {
    clusterVariableMoveButton_->setText("<<");
    for (QListWidget* other : {variableListView_, labelVariableListView_}) {
      const QSignalBlocker quiet(other);
      other->clearSelection();
    }
    clusterVariableMoveButton_->setEnabled(!clusterVariableListView_->selectedItems().isEmpty());
  } else {
    clusterVariableMoveButton_->setEnabled(false);
  }
}

void TKorvanaDialog::updateLabelVariableMoveButton() {
  bool possible = false;
  if (variableListView_->hasFocus()) {
    labelVariableMoveButton_->setText(">>");
    for (QListWidget* other : {clusterVariableListView_, labelVariableListView_}) {
      const QSignalBlocker quiet(other);
      other->clearSelection();
    }
    const QList<QListWidgetItem*> selected = variableListView_->selectedItems();
    possible = selected.size() == 1 && !variableOf(selected.front())->isNumeric();
  } else if (labelVariableListView_->hasFocus()) {
    labelVariableMoveButton_->setText("<<");
    for (QListWidget* other : {variableListView_, clusterVariableListView_}) {
      const QSignalBlocker quiet(other);
      other->clearSelection();
    }
    possible = labelVariableListView_->selectedItems().size() == 1;
  }
  labelVariableMoveButton_->setEnabled(possible && clusterCasesRadioButton_->isChecked());
}

void TKorvanaDialog::updateOkButton() {
  bool valid = true;
  const std::optional<std::int32_t> permutations = toInt32(nrOfPermutationsEdit_->text());
  valid = valid && permutations.has_value() && *permutations > 0;
  if (analyzeMatrixRadioButton_->isChecked()) {
    valid = valid && !matrixFilenameEdit_->text().trimmed().isEmpty();
  } else {
    valid = valid && clusterVariableListView_->count() >= 2;
  }
  if (binaryMeasureRadioButton_->isChecked())
    valid = valid && toInt32(binaryMeasurePresentEdit_->text()) && toInt32(binaryMeasureAbsentEdit_->text());
  if (customSeedRadioButton_->isChecked()) valid = valid && toInt32(customSeedEdit_->text()).has_value();
  if (savePermutationFitTableCheckBox_->isChecked())
    valid = valid && !permutationFitTableFilenameEdit_->text().trimmed().isEmpty();
  okButton_->setEnabled(valid);
}

// ---------------------------------------------------------------------------
// Handlers.

void TKorvanaDialog::showApplicationError(const std::string& message) {
  host::showErrorBox(message);
  endProgram();
}

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
  const auto* method = reinterpret_cast<const ClusterMethod*>(clusterMethodComboBox_->currentData().value<quintptr>());
  if (method != ClusterMethodFactory::getCentroid() && method != ClusterMethodFactory::getMedian() &&
      method != ClusterMethodFactory::getWard())
    return true;
  const auto* interval =
      reinterpret_cast<const IntervalMeasure*>(intervalMeasureComboBox_->currentData().value<quintptr>());
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

std::optional<QString> TKorvanaDialog::askForFile(QFileDialog& prompt) {
  if (filePrompt_) return filePrompt_(prompt);
  if (prompt.exec() != QDialog::Accepted || prompt.selectedFiles().isEmpty()) return std::nullopt;
  return prompt.selectedFiles().front();
}

void TKorvanaDialog::loadSettings() {
  const AnalysisRequest stored = settingsFile_->readRequest();
  const AnalysisRequest defaults;
  selectStoredPosition(clusterMethodComboBox_, stored.clusterMethod, defaults.clusterMethod);
  nrOfPermutationsEdit_->setText(QString::number(stored.numberOfPermutations));
  (stored.analysisType == AnalysisType::data ? analyzeDataRadioButton_ : analyzeMatrixRadioButton_)->setChecked(true);
  matrixFilenameEdit_->setText(QString::fromStdString(stored.matrixFilename));
  (stored.clusterView == ClusterView::cases ? clusterCasesRadioButton_ : clusterVariablesRadioButton_)->setChecked(true);

  // The variables come back by name and kind, in the stored order; the
  // restored ones leave the variable list.
  {
    const QSignalBlocker quiet(variableListView_);
    variableListView_->clearSelection();
    for (const std::string& name : stored.clusterVariables) restoreVariable(name, true, clusterVariableListView_);
    if (!stored.labelVariable.empty()) restoreVariable(stored.labelVariable, false, labelVariableListView_);
    for (QListWidgetItem* item : variableListView_->selectedItems()) delete item;
  }

  QRadioButton* measure = stored.selectedMeasure == 0   ? intervalMeasureRadioButton_
                          : stored.selectedMeasure == 1 ? countsMeasureRadioButton_
                                                        : binaryMeasureRadioButton_;
  measure->setChecked(true);
  selectStoredPosition(intervalMeasureComboBox_, stored.intervalMeasure, defaults.intervalMeasure);
  selectStoredPosition(intervalMeasurePowerComboBox_, stored.intervalMeasurePower, defaults.intervalMeasurePower);
  selectStoredPosition(intervalMeasureRootComboBox_, stored.intervalMeasureRoot, defaults.intervalMeasureRoot);
  selectStoredPosition(countsMeasureComboBox_, stored.countsMeasure, defaults.countsMeasure);
  selectStoredPosition(binaryMeasureComboBox_, stored.binaryMeasure, defaults.binaryMeasure);
  binaryMeasurePresentEdit_->setText(QString::number(stored.binaryMeasurePresent));
  binaryMeasureAbsentEdit_->setText(QString::number(stored.binaryMeasureAbsent));
  transformMeasuresAbsoluteValuesCheckBox_->setChecked(stored.absoluteValues);
  transformMeasuresChangeSignCheckBox_->setChecked(stored.changeSign);
  transformMeasuresRescaleCheckBox_->setChecked(stored.rescale);
  selectStoredPosition(standardizeMethodComboBox_, stored.standardiseMethod, defaults.standardiseMethod);
  (stored.standardiseView == 1 ? standardizeByVariableRadioButton_ : standardizeByCaseRadioButton_)->setChecked(true);

  firstPermIsIdentityCheckBox_->setChecked(stored.firstPermutationIdentity);
  customSeedEdit_->setText(QString::number(stored.seed));
  (stored.seedType == SeedType::random ? randomSeedRadioButton_ : customSeedRadioButton_)->setChecked(true);
  proximityMatrixCheckBox_->setChecked(stored.proximityMatrix);
  permutationFitCheckBox_->setChecked(stored.permutationFit);
  objectOrderCheckBox_->setChecked(stored.objectOrder);
  agglomerationScheduleCheckBox_->setChecked(stored.agglomerationSchedule);
  dendrogramCheckBox_->setChecked(stored.dendrogram);
  savePermutationFitTableCheckBox_->setChecked(stored.savePermutationFitTable);
  permutationFitTableFilenameEdit_->setText(QString::fromStdString(stored.permutationFitTableFilename));
}

void TKorvanaDialog::restoreVariable(const std::string& name, bool numeric, QListWidget* target) {
  for (int row = 0; row < variableListView_->count(); ++row) {
    QListWidgetItem* item = variableListView_->item(row);
    const Variable* variable = variableOf(item);
    if (variable->getName() != name || variable->isNumeric() != numeric) continue;
    item->setSelected(true);
    target->addItem(makeItem(*item));
    return;
  }
}

void TKorvanaDialog::saveSettings(const AnalysisRequest& request) {
  settingsFile_->writeRequest(request);
  settingsFile_->save(settingsFilePath_);
}

void TKorvanaDialog::runRequest(const AnalysisRequest& request) {
  try {
    RequestProblems problems;
    const ChosenVariables chosen = chooseVariables(request, variables_, problems);
    std::unique_ptr<ClusterAnalysis> analysis = makeAnalysis(request, chosen, spssApplication_, std::time(nullptr));
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

AnalysisRequest TKorvanaDialog::collectRequest() const {
  AnalysisRequest request;
  request.clusterMethod = clusterMethodComboBox_->currentIndex();
  request.numberOfPermutations = toInt32(nrOfPermutationsEdit_->text()).value_or(100);
  request.analysisType = analyzeMatrixRadioButton_->isChecked() ? AnalysisType::matrixFile : AnalysisType::data;
  request.matrixFilename = matrixFilenameEdit_->text().toStdString();
  request.clusterView = clusterCasesRadioButton_->isChecked() ? ClusterView::cases : ClusterView::variables;
  for (int i = 0; i < clusterVariableListView_->count(); ++i)
    request.clusterVariables.push_back(variableOf(clusterVariableListView_->item(i))->getName());
  if (clusterCasesRadioButton_->isChecked() && labelVariableListView_->count() == 1)
    request.labelVariable = variableOf(labelVariableListView_->item(0))->getName();
  request.selectedMeasure = intervalMeasureRadioButton_->isChecked() ? 0 : countsMeasureRadioButton_->isChecked() ? 1 : 2;
  request.intervalMeasure = intervalMeasureComboBox_->currentIndex();
  request.intervalMeasurePower = intervalMeasurePowerComboBox_->currentIndex();
  request.intervalMeasureRoot = intervalMeasureRootComboBox_->currentIndex();
  request.countsMeasure = countsMeasureComboBox_->currentIndex();
  request.binaryMeasure = binaryMeasureComboBox_->currentIndex();
  request.binaryMeasurePresent = toInt32(binaryMeasurePresentEdit_->text()).value_or(1);
  request.binaryMeasureAbsent = toInt32(binaryMeasureAbsentEdit_->text()).value_or(0);
  request.absoluteValues = transformMeasuresAbsoluteValuesCheckBox_->isChecked();
  request.changeSign = transformMeasuresChangeSignCheckBox_->isChecked();
  request.rescale = transformMeasuresRescaleCheckBox_->isChecked();
  request.standardiseMethod = standardizeMethodComboBox_->currentIndex();
  request.standardiseView = standardizeByVariableRadioButton_->isChecked() ? 1 : 0;
  request.firstPermutationIdentity = firstPermIsIdentityCheckBox_->isChecked();
  request.seedType = randomSeedRadioButton_->isChecked() ? SeedType::random : SeedType::custom;
  request.seed = toInt32(customSeedEdit_->text()).value_or(4000000);
  request.proximityMatrix = proximityMatrixCheckBox_->isChecked();
  request.permutationFit = permutationFitCheckBox_->isChecked();
  request.objectOrder = objectOrderCheckBox_->isChecked();
  request.agglomerationSchedule = agglomerationScheduleCheckBox_->isChecked();
  request.dendrogram = dendrogramCheckBox_->isChecked();
  request.savePermutationFitTable = savePermutationFitTableCheckBox_->isChecked();
  request.permutationFitTableFilename = permutationFitTableFilenameEdit_->text().toStdString();
  return request;
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

void TKorvanaDialog::proximitiesGroupBoxClick() {
  updateProximityControls();
  updateOptionControls();
}

void TKorvanaDialog::clusterCasesRadioButtonClick() { updateProximityControls(); }
void TKorvanaDialog::clusterVariablesRadioButtonClick() { updateProximityControls(); }
void TKorvanaDialog::variableListViewEnter() { updateProximityControls(); }
void TKorvanaDialog::clusterVariableListViewEnter() { updateProximityControls(); }
void TKorvanaDialog::labelVariableListViewEnter() { updateProximityControls(); }

void TKorvanaDialog::variableListViewSelectItem() {
  updateClusterVariableMoveButton();
  updateLabelVariableMoveButton();
}
void TKorvanaDialog::clusterVariableListViewSelectItem() {
  updateClusterVariableMoveButton();
  updateLabelVariableMoveButton();
}
void TKorvanaDialog::labelVariableListViewSelectItem() {
  updateClusterVariableMoveButton();
  updateLabelVariableMoveButton();
}

void TKorvanaDialog::clusterVariableMoveButtonClick() {
  if (!variableListView_->selectedItems().isEmpty()) {
    moveSelectedItems(variableListView_, clusterVariableListView_);
  } else if (!clusterVariableListView_->selectedItems().isEmpty()) {
    moveSelectedItems(clusterVariableListView_, variableListView_);
  }
  updateClusterVariableMoveButton();
  updateLabelVariableMoveButton();
}

void TKorvanaDialog::labelVariableMoveButtonClick() {
  if (variableListView_->selectedItems().size() == 1) {
    moveSelectedItems(variableListView_, labelVariableListView_);
  } else if (labelVariableListView_->selectedItems().size() == 1) {
    moveSelectedItems(labelVariableListView_, variableListView_);
  }
  updateClusterVariableMoveButton();
  updateLabelVariableMoveButton();
}

void TKorvanaDialog::insertSorted(QListWidget* list, QListWidgetItem* item) {
  const std::int32_t index = variableOf(item)->getIndex();
  int row = 0;
  while (row < list->count() && variableOf(list->item(row))->getIndex() < index) ++row;
  list->insertItem(row, item);
}

void TKorvanaDialog::moveSelectedItems(QListWidget* source, QListWidget* target) {
  std::vector<QListWidgetItem*> moved;
  {
    const QSignalBlocker quietTarget(target);
    target->clearSelection();
    for (int row = 0; row < source->count(); ++row) {
      QListWidgetItem* item = source->item(row);
      if (!item->isSelected()) continue;
      QListWidgetItem* copy = makeItem(*item);
      // The variable list keeps dictionary order; the others keep the order
      // in which variables arrive.
      if (target == variableListView_) {
        insertSorted(target, copy);
      } else {
        target->addItem(copy);
      }
      copy->setSelected(true);
      moved.push_back(item);
    }
  }
  {
    const QSignalBlocker quietSource(source);
    for (QListWidgetItem* item : moved) delete item;
  }
  if (!moved.empty()) target->scrollToItem(target->selectedItems().back());
  target->setFocus(Qt::OtherFocusReason);
}

// The present and absent values count for OK only under Binary, so a change
// of measure kind also re-evaluates OK.
void TKorvanaDialog::intervalMeasureRadioButtonClick() {
  updateMeasureControls();
  updateStandardizeControls();
  updateOkButton();
}
void TKorvanaDialog::countsMeasureRadioButtonClick() {
  updateMeasureControls();
  updateStandardizeControls();
  updateOkButton();
}
void TKorvanaDialog::binaryMeasureRadioButtonClick() {
  updateMeasureControls();
  updateStandardizeControls();
  updateOkButton();
}
void TKorvanaDialog::intervalMeasureComboBoxChange() { updateMeasureControls(); }
void TKorvanaDialog::countsMeasureComboBoxChange() { updateMeasureControls(); }
void TKorvanaDialog::binaryMeasureComboBoxChange() { updateMeasureControls(); }
void TKorvanaDialog::standardizeMethodComboBoxChange() { updateStandardizeControls(); }
void TKorvanaDialog::randomSeedRadioButtonClick() { updateOptionControls(); }
void TKorvanaDialog::customSeedRadioButtonClick() { updateOptionControls(); }
void TKorvanaDialog::savePermutationFitTableCheckBoxClick() { updateOptionControls(); }

void TKorvanaDialog::nrOfPermutationsEditChange() {
  if (nrOfPermutationsEdit_->isModified()) updateOkButton();
}
void TKorvanaDialog::binaryMeasurePresentEditChange() {
  if (binaryMeasurePresentEdit_->isModified()) updateOkButton();
}
void TKorvanaDialog::binaryMeasureAbsentEditChange() {
  if (binaryMeasureAbsentEdit_->isModified()) updateOkButton();
}
void TKorvanaDialog::customSeedEditChange() {
  if (customSeedEdit_->isModified()) updateOkButton();
}
void TKorvanaDialog::matrixFilenameEditChange() { updateOkButton(); }
void TKorvanaDialog::permutationFitTableFilenameEditChange() { updateOkButton(); }

void TKorvanaDialog::nrOfPermutationsUpDownClick(int step) {
  // The arrows count from the edit's number, kept between 1 and 32767
  // without wrapping; a larger typed number steps down from 32767.
  const std::int32_t current =
      std::clamp(toInt32(nrOfPermutationsEdit_->text()).value_or(upDownMinimum), upDownMinimum, upDownMaximum);
  const int next = std::clamp(current + step, upDownMinimum, upDownMaximum);
  nrOfPermutationsEdit_->setText(QString::number(next));
  updateOkButton();
}

void TKorvanaDialog::matrixFilenameBrowseButtonClick() {
  openMatrixDialog_->selectFile(matrixFilenameEdit_->text());
  if (const std::optional<QString> chosen = askForFile(*openMatrixDialog_)) matrixFilenameEdit_->setText(*chosen);
}

void TKorvanaDialog::permutationFitTableFilenameBrowseButtonClick() {
  saveTableDialog_->selectFile(permutationFitTableFilenameEdit_->text());
  if (const std::optional<QString> chosen = askForFile(*saveTableDialog_))
    permutationFitTableFilenameEdit_->setText(*chosen);
}

bool TKorvanaDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == variableListView_) variableListViewEnter();
    if (watched == clusterVariableListView_) clusterVariableListViewEnter();
    if (watched == labelVariableListView_) labelVariableListViewEnter();
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace korvana::app
