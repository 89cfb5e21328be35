#include "app/OptionsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/NumberEditKeyFilter.h"

namespace korvana::app {

namespace {

template <class T>
T* named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent) {
  setObjectName("optionsPage");
  QGroupBox* randomization = createPermutationRandomizationGroupBox();
  QGroupBox* statistics = createStatisticsGroupBox();
  QGroupBox* plots = createPlotsGroupBox();
  QGroupBox* save = createSaveGroupBox();

  auto* outputs = new QHBoxLayout;
  outputs->addWidget(statistics, 1);
  outputs->addWidget(plots, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(randomization);
  layout->addLayout(outputs);
  layout->addWidget(save);
  layout->addStretch();
  connectHandlers();
}

// ---------------------------------------------------------------------------
// The controls.

QGroupBox* OptionsPage::createPermutationRandomizationGroupBox() {
  permutationRandomizationGroupBox_ =
      named(new QGroupBox("Permutation Randomization", this), "permutationRandomizationGroupBox");
  firstPermIsIdentityCheckBox_ = named(
      new QCheckBox("First permutation is identity", permutationRandomizationGroupBox_), "firstPermIsIdentityCheckBox");
  firstPermIsIdentityCheckBox_->setChecked(true);
  randomSeedRadioButton_ =
      named(new QRadioButton("Random seed", permutationRandomizationGroupBox_), "randomSeedRadioButton");
  randomSeedRadioButton_->setChecked(true);
  customSeedRadioButton_ =
      named(new QRadioButton("Custom seed", permutationRandomizationGroupBox_), "customSeedRadioButton");
  customSeedEdit_ = named(new QLineEdit(permutationRandomizationGroupBox_), "customSeedEdit");
  customSeedEdit_->setFixedWidth(customSeedEdit_->fontMetrics().horizontalAdvance("-2147483648") + 14);
  NumberEditKeyFilter::install(customSeedEdit_, NumberEditKeyFilter::Sign::minusAllowed);
  customSeedHelpLabel_ = named(new QLabel("(value between -2,147,483,648 and  2,147,483,647)",
                                          permutationRandomizationGroupBox_),
                               "customSeedHelpLabel");
  auto* randomization = new QGridLayout(permutationRandomizationGroupBox_);
  randomization->setContentsMargins(10, 6, 10, 8);
  randomization->setVerticalSpacing(4);
  randomization->addWidget(firstPermIsIdentityCheckBox_, 0, 0, 1, 3);
  randomization->addWidget(randomSeedRadioButton_, 1, 0, 1, 3);
  randomization->addWidget(customSeedRadioButton_, 2, 0);
  randomization->addWidget(customSeedEdit_, 2, 1);
  randomization->addWidget(customSeedHelpLabel_, 3, 1, 1, 2);
  stopWhenStableEdit_ = named(new QLineEdit("0", permutationRandomizationGroupBox_), "stopWhenStableEdit");
  stopWhenStableEdit_->setFixedWidth(stopWhenStableEdit_->fontMetrics().horizontalAdvance("2147483647") + 14);
  stopWhenStableEdit_->setToolTip("Stop once neither the best fit nor the set of best-fitting hierarchies changed in "
                                  "this many permutations; the number of permutations is then the most that run. "
                                  "0: run them all.");
  NumberEditKeyFilter::install(stopWhenStableEdit_, NumberEditKeyFilter::Sign::none);
  auto* stopLabel = new QLabel("Stop when stable for", permutationRandomizationGroupBox_);
  stopLabel->setBuddy(stopWhenStableEdit_);
  randomization->addWidget(stopLabel, 4, 0);
  randomization->addWidget(stopWhenStableEdit_, 4, 1);
  randomization->addWidget(new QLabel("permutations (0: off)", permutationRandomizationGroupBox_), 4, 2);
  randomization->setColumnStretch(2, 1);
  return permutationRandomizationGroupBox_;
}

QGroupBox* OptionsPage::createStatisticsGroupBox() {
  statisticsGroupBox_ = named(new QGroupBox("Statistics", this), "statisticsGroupBox");
  proximityMatrixCheckBox_ = named(new QCheckBox("Proximity matrix", statisticsGroupBox_), "proximityMatrixCheckBox");
  permutationFitCheckBox_ = named(new QCheckBox("Permutation fit", statisticsGroupBox_), "permutationFitCheckBox");
  objectOrderCheckBox_ = named(new QCheckBox("Object order", statisticsGroupBox_), "objectOrderCheckBox");
  agglomerationScheduleCheckBox_ =
      named(new QCheckBox("Agglomeration schedule", statisticsGroupBox_), "agglomerationScheduleCheckBox");
  agglomerationScheduleCheckBox_->setChecked(true);
  clusterSupportCheckBox_ = named(new QCheckBox("Cluster support", statisticsGroupBox_), "clusterSupportCheckBox");
  solutionsShownComboBox_ = named(new QComboBox(statisticsGroupBox_), "solutionsShownComboBox");
  solutionsShownComboBox_->addItems({"Every merge order", "One per hierarchy"});
  solutionsShownComboBox_->setToolTip(
      "Merge orders that differ only in how ties at one height were broken have the same hierarchy: show each "
      "distinct merge order, or one solution per hierarchy");
  auto* solutionsShownLabel = new QLabel("Solutions shown:", statisticsGroupBox_);
  solutionsShownLabel->setBuddy(solutionsShownComboBox_);
  orderFreeTreeCheckBox_ = named(new QCheckBox("Order-free tree", statisticsGroupBox_), "orderFreeTreeCheckBox");
  auto* statistics = new QVBoxLayout(statisticsGroupBox_);
  statistics->setContentsMargins(10, 6, 10, 8);
  statistics->setSpacing(4);
  for (QCheckBox* box : {proximityMatrixCheckBox_, permutationFitCheckBox_, objectOrderCheckBox_,
                         agglomerationScheduleCheckBox_, clusterSupportCheckBox_, orderFreeTreeCheckBox_})
    statistics->addWidget(box);
  auto* solutionsShown = new QHBoxLayout;
  solutionsShown->addWidget(solutionsShownLabel);
  solutionsShown->addWidget(solutionsShownComboBox_, 1);
  statistics->addLayout(solutionsShown);
  return statisticsGroupBox_;
}

QGroupBox* OptionsPage::createPlotsGroupBox() {
  plotsGroupBox_ = named(new QGroupBox("Plots", this), "plotsGroupBox");
  dendrogramCheckBox_ = named(new QCheckBox("Dendrogram", plotsGroupBox_), "dendrogramCheckBox");
  auto* plots = new QVBoxLayout(plotsGroupBox_);
  plots->setContentsMargins(10, 6, 10, 8);
  plots->addWidget(dendrogramCheckBox_);
  plots->addStretch();
  return plotsGroupBox_;
}

QGroupBox* OptionsPage::createSaveGroupBox() {
  saveGroupBox_ = named(new QGroupBox("Save", this), "saveGroupBox");
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
  return saveGroupBox_;
}

void OptionsPage::connectHandlers() {
  for (QRadioButton* button : {randomSeedRadioButton_, customSeedRadioButton_})
    connect(button, &QRadioButton::clicked, this, &OptionsPage::seedTypeRadioButtonClick);
  connect(savePermutationFitTableCheckBox_, &QCheckBox::clicked, this,
          &OptionsPage::savePermutationFitTableCheckBoxClick);
  connect(customSeedEdit_, &QLineEdit::textChanged, this, &OptionsPage::customSeedEditChange);
  connect(permutationFitTableFilenameEdit_, &QLineEdit::textChanged, this, &OptionsPage::requestChanged);
}

// ---------------------------------------------------------------------------
// The enabling rules.

void OptionsPage::enableProximityMatrix(bool enabled) { proximityMatrixCheckBox_->setEnabled(enabled); }

void OptionsPage::updateControls() {
  const bool custom = customSeedRadioButton_->isChecked();
  customSeedEdit_->setEnabled(custom);
  customSeedHelpLabel_->setEnabled(custom);
  const bool save = savePermutationFitTableCheckBox_->isChecked();
  permutationFitTableFilenameEdit_->setEnabled(save);
  permutationFitTableFilenameBrowseButton_->setEnabled(save);
}

// ---------------------------------------------------------------------------
// Handlers.

void OptionsPage::seedTypeRadioButtonClick() {
  updateControls();
  emit requestChanged();
}

void OptionsPage::savePermutationFitTableCheckBoxClick() {
  updateControls();
  emit requestChanged();
}

void OptionsPage::customSeedEditChange() {
  // OK follows the seed only where the user changed the text.
  if (customSeedEdit_->isModified()) emit requestChanged();
}

}  // namespace korvana::app
