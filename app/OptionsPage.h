// The main dialog's "Options" page: how the permutations are randomized, the
// statistics and plots the output shows, and the permutation fit table
// saved as a data file.
//
// The page keeps its own controls consistent and tells the dialog when OK
// has to be looked at again; RequestBinding reaches the controls that hold
// a request's choices through the accessors below.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korvana::app {

class OptionsPage final : public QWidget {
  Q_OBJECT

 public:
  explicit OptionsPage(QWidget* parent = nullptr);

  /// The proximity matrix can be shown only where the data are analyzed,
  /// not a matrix file.
  void enableProximityMatrix(bool enabled);
  /// Enables the custom seed under its choice and the fit table's file
  /// name while the table is saved.
  void updateControls();

  // The controls that hold a request's choices.
  QCheckBox* firstPermIsIdentityCheckBox() const { return firstPermIsIdentityCheckBox_; }
  QRadioButton* randomSeedRadioButton() const { return randomSeedRadioButton_; }
  QRadioButton* customSeedRadioButton() const { return customSeedRadioButton_; }
  QLineEdit* customSeedEdit() const { return customSeedEdit_; }
  QCheckBox* proximityMatrixCheckBox() const { return proximityMatrixCheckBox_; }
  QCheckBox* permutationFitCheckBox() const { return permutationFitCheckBox_; }
  QCheckBox* objectOrderCheckBox() const { return objectOrderCheckBox_; }
  QCheckBox* agglomerationScheduleCheckBox() const { return agglomerationScheduleCheckBox_; }
  QCheckBox* dendrogramCheckBox() const { return dendrogramCheckBox_; }
  QCheckBox* clusterSupportCheckBox() const { return clusterSupportCheckBox_; }
  /// 0: every distinct merge order; 1: one solution per hierarchy.
  QComboBox* solutionsShownComboBox() const { return solutionsShownComboBox_; }
  /// Stop once the best fit and the best-fitting hierarchies held this many permutations (0: off).
  QLineEdit* stopWhenStableEdit() const { return stopWhenStableEdit_; }
  QCheckBox* orderFreeTreeCheckBox() const { return orderFreeTreeCheckBox_; }
  QCheckBox* savePermutationFitTableCheckBox() const { return savePermutationFitTableCheckBox_; }
  QLineEdit* permutationFitTableFilenameEdit() const { return permutationFitTableFilenameEdit_; }
  QPushButton* permutationFitTableFilenameBrowseButton() const { return permutationFitTableFilenameBrowseButton_; }

 signals:
  /// A choice that OK depends on may have changed.
  void requestChanged();

 private slots:
  void seedTypeRadioButtonClick();
  void savePermutationFitTableCheckBoxClick();
  void customSeedEditChange();

 private:
  QGroupBox* createPermutationRandomizationGroupBox();
  QGroupBox* createStatisticsGroupBox();
  QGroupBox* createPlotsGroupBox();
  QGroupBox* createSaveGroupBox();
  void connectHandlers();

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
  QCheckBox* clusterSupportCheckBox_{};
  QComboBox* solutionsShownComboBox_{};
  QLineEdit* stopWhenStableEdit_{};
  QCheckBox* orderFreeTreeCheckBox_{};
  QGroupBox* plotsGroupBox_{};
  QCheckBox* dendrogramCheckBox_{};
  QGroupBox* saveGroupBox_{};
  QCheckBox* savePermutationFitTableCheckBox_{};
  QLineEdit* permutationFitTableFilenameEdit_{};
  QPushButton* permutationFitTableFilenameBrowseButton_{};
};

}  // namespace korvana::app
