#include "app/GeneralPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

#include "app/NumberEditKeyFilter.h"
#include "app/VariableListsWidget.h"
#include "analysis/SettingsFile.h"
#include "engine/ClusterMethodFactory.h"
#include "proximity/BinaryMeasureFactory.h"
#include "proximity/CountsMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana::app {

namespace {

constexpr int upDownMinimum = 1;
constexpr int upDownMaximum = 32767;

template <class T>
T* named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

/// Fills a list with the names of a factory's instances, each entry
/// carrying its instance, and selects the entry at `selected`.
template <class T>
void fillList(QComboBox* list, const std::vector<T*>& instances, int selected) {
  list->clear();
  for (T* instance : instances) {
    const QVariant carried = QVariant::fromValue(reinterpret_cast<quintptr>(instance));
    list->addItem(QString::fromStdString(instance->getName()), carried);
  }
  list->setCurrentIndex(selected);
}

template <class T>
const T* instanceOf(const QComboBox* list) {
  return reinterpret_cast<const T*>(list->currentData().value<quintptr>());
}

}  // namespace

GeneralPage::GeneralPage(QWidget* parent) : QWidget(parent) {
  setObjectName("generalPage");
  QGridLayout* topRow = createTopRow();
  QGroupBox* proximities = createProximitiesGroupBox();
  QGroupBox* analyzeData = createAnalyzeDataGroupBox();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addLayout(topRow);
  layout->addWidget(proximities);
  layout->addWidget(analyzeData, 1);
  connectHandlers();
}

// ---------------------------------------------------------------------------
// The controls.

QGridLayout* GeneralPage::createTopRow() {
  clusterMethodLabel_ = named(new QLabel("Cluster Method:", this), "clusterMethodLabel");
  clusterMethodComboBox_ = named(new QComboBox(this), "clusterMethodComboBox");
  clusterMethodLabel_->setBuddy(clusterMethodComboBox_);
  nrOfPermutationsLabel_ = named(new QLabel("Number of Permutations:", this), "nrOfPermutationsLabel");
  nrOfPermutationsEdit_ = named(new QLineEdit("1", this), "nrOfPermutationsEdit");
  nrOfPermutationsEdit_->setMaximumWidth(nrOfPermutationsEdit_->fontMetrics().horizontalAdvance("00000000000") + 12);
  nrOfPermutationsLabel_->setBuddy(nrOfPermutationsEdit_);
  NumberEditKeyFilter::install(nrOfPermutationsEdit_, NumberEditKeyFilter::Sign::none);

  // The up-down arrows beside the edit.
  nrOfPermutationsUpDown_ = named(new QWidget(this), "nrOfPermutationsUpDown");
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
  return top;
}

QGroupBox* GeneralPage::createProximitiesGroupBox() {
  proximitiesGroupBox_ = named(new QGroupBox("Proximities", this), "proximitiesGroupBox");
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
  return proximitiesGroupBox_;
}

QGroupBox* GeneralPage::createAnalyzeDataGroupBox() {
  analyzeDataGroupBox_ = named(new QGroupBox("Analyze Data", this), "analyzeDataGroupBox");
  clusterLabel_ = named(new QLabel("Cluster:", analyzeDataGroupBox_), "clusterLabel");
  clusterCasesRadioButton_ = named(new QRadioButton("Cases", analyzeDataGroupBox_), "clusterCasesRadioButton");
  clusterCasesRadioButton_->setChecked(true);
  clusterVariablesRadioButton_ =
      named(new QRadioButton("Variables", analyzeDataGroupBox_), "clusterVariablesRadioButton");
  analyzeDataTabWidget_ = named(new QTabWidget(analyzeDataGroupBox_), "analyzeDataTabWidget");
  variableLists_ = new VariableListsWidget;
  analyzeDataTabWidget_->addTab(variableLists_, "Variables");
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
  return analyzeDataGroupBox_;
}

QWidget* GeneralPage::createMeasureTab() {
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
  for (QLineEdit* edit : {binaryMeasurePresentEdit_, binaryMeasureAbsentEdit_}) {
    edit->setFixedWidth(numberWidth);
    NumberEditKeyFilter::install(edit, NumberEditKeyFilter::Sign::minusAllowed);
  }

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

QWidget* GeneralPage::createStandardizeTab() {
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

void GeneralPage::connectHandlers() {
  for (QRadioButton* button : {analyzeDataRadioButton_, analyzeMatrixRadioButton_})
    connect(button, &QRadioButton::clicked, this, &GeneralPage::analysisTypeRadioButtonClick);
  for (QRadioButton* button : {clusterCasesRadioButton_, clusterVariablesRadioButton_})
    connect(button, &QRadioButton::clicked, this, &GeneralPage::clusterViewRadioButtonClick);
  // The lists follow the cluster view however it changes.
  variableLists_->setCasesClustered(clusterCasesRadioButton_->isChecked());
  connect(clusterCasesRadioButton_, &QRadioButton::toggled, variableLists_, &VariableListsWidget::setCasesClustered);
  connect(variableLists_, &VariableListsWidget::listEntered, this, &GeneralPage::variableListEnter);
  for (QRadioButton* button : {intervalMeasureRadioButton_, countsMeasureRadioButton_, binaryMeasureRadioButton_})
    connect(button, &QRadioButton::clicked, this, &GeneralPage::measureKindRadioButtonClick);
  for (QComboBox* list : {intervalMeasureComboBox_, countsMeasureComboBox_, binaryMeasureComboBox_})
    connect(list, &QComboBox::currentIndexChanged, this, &GeneralPage::updateMeasureControls);
  connect(standardizeMethodComboBox_, &QComboBox::currentIndexChanged, this, &GeneralPage::updateStandardizeControls);
  for (QLineEdit* edit : {nrOfPermutationsEdit_, binaryMeasurePresentEdit_, binaryMeasureAbsentEdit_})
    watchNumberEdit(edit);
  connect(matrixFilenameEdit_, &QLineEdit::textChanged, this, &GeneralPage::requestChanged);
}

void GeneralPage::watchNumberEdit(QLineEdit* edit) {
  connect(edit, &QLineEdit::textChanged, this, [this, edit] {
    if (edit->isModified()) emit requestChanged();
  });
}

// ---------------------------------------------------------------------------
// The choices.

void GeneralPage::fillChoiceLists() {
  fillList(clusterMethodComboBox_, ClusterMethodFactory::getClusterMethods(), 0);
  fillList(intervalMeasureComboBox_, IntervalMeasureFactory::getIntervalMeasures(), 1);
  fillList(countsMeasureComboBox_, CountsMeasureFactory::getCountsMeasures(), 0);
  fillList(binaryMeasureComboBox_, BinaryMeasureFactory::getBinaryMeasures(), 1);
  fillList(standardizeMethodComboBox_, StandardizeMethodFactory::getStandardizeMethods(), 0);
}

void GeneralPage::allowOnlyMatrixFile() {
  analyzeMatrixRadioButton_->setChecked(true);
  analyzeDataRadioButton_->setEnabled(false);
  onlyMatrixFile_ = true;
}

void GeneralPage::allowData() {
  analyzeDataRadioButton_->setEnabled(true);
  if (onlyMatrixFile_) analyzeDataRadioButton_->setChecked(true);
  onlyMatrixFile_ = false;
}

bool GeneralPage::analyzesMatrixFile() const { return analyzeMatrixRadioButton_->isChecked(); }

const ClusterMethod* GeneralPage::chosenClusterMethod() const {
  return instanceOf<ClusterMethod>(clusterMethodComboBox_);
}

const IntervalMeasure* GeneralPage::chosenIntervalMeasure() const {
  return instanceOf<IntervalMeasure>(intervalMeasureComboBox_);
}

// ---------------------------------------------------------------------------
// The enabling rules.

void GeneralPage::updateControls() {
  const bool matrix = analyzeMatrixRadioButton_->isChecked();
  matrixFilenameEdit_->setEnabled(matrix);
  matrixFilenameBrowseButton_->setEnabled(matrix);
  for (QWidget* control : std::initializer_list<QWidget*>{clusterLabel_, clusterCasesRadioButton_,
                                                          clusterVariablesRadioButton_, analyzeDataTabWidget_})
    control->setEnabled(!matrix);
  variableLists_->updateControls(!matrix);
  updateMeasureControls();
  updateStandardizeControls();
}

void GeneralPage::updateMeasureControls() {
  const bool analyzeData = analyzeDataRadioButton_->isChecked();
  for (QWidget* control : std::initializer_list<QWidget*>{
           intervalMeasureRadioButton_, countsMeasureRadioButton_, binaryMeasureRadioButton_,
           transformMeasuresAbsoluteValuesCheckBox_, transformMeasuresChangeSignCheckBox_,
           transformMeasuresRescaleCheckBox_, standardizeLabel_})
    control->setEnabled(analyzeData);
  const bool interval = analyzeData && intervalMeasureRadioButton_->isChecked();
  intervalMeasureComboBox_->setEnabled(interval);
  const IntervalMeasure* selected = chosenIntervalMeasure();
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

void GeneralPage::updateStandardizeControls() {
  const bool standardize = analyzeDataRadioButton_->isChecked() && !binaryMeasureRadioButton_->isChecked();
  standardizeMethodComboBox_->setEnabled(standardize);
  const auto* selected = instanceOf<StandardizeMethod>(standardizeMethodComboBox_);
  const bool direction = standardize && selected != nullptr && !selected->isNone();
  standardizeByVariableRadioButton_->setEnabled(direction);
  standardizeByCaseRadioButton_->setEnabled(direction);
}

// ---------------------------------------------------------------------------
// Handlers.

void GeneralPage::analysisTypeRadioButtonClick() {
  updateControls();
  emit requestChanged();
  emit analysisTypeChanged(analyzesMatrixFile());
}

void GeneralPage::clusterViewRadioButtonClick() {
  updateControls();
  emit requestChanged();
}

void GeneralPage::variableListEnter() {
  updateControls();
  emit requestChanged();
}

// The present and absent values count for OK only under Binary, so a change
// of measure kind also asks for OK again.
void GeneralPage::measureKindRadioButtonClick() {
  updateMeasureControls();
  updateStandardizeControls();
  emit requestChanged();
}

void GeneralPage::nrOfPermutationsUpDownClick(int step) {
  // The arrows count from the edit's number, kept between 1 and 32767
  // without wrapping; a larger typed number steps down from 32767.
  const std::int32_t typed = parseSettingsInteger(nrOfPermutationsEdit_->text().toStdString()).value_or(upDownMinimum);
  const std::int32_t current = std::clamp(typed, upDownMinimum, upDownMaximum);
  const int next = std::clamp(current + step, upDownMinimum, upDownMaximum);
  nrOfPermutationsEdit_->setText(QString::number(next));
  emit requestChanged();
}

}  // namespace korvana::app
