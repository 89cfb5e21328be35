// The main dialog's "General" page: the cluster method and the number of
// permutations; where the proximities come from (the open data, or a matrix
// file the statistics package wrote); and, for the data, what is clustered
// with the tabs "Variables" (VariableListsWidget), "Measure" and
// "Standardize".
//
// The page keeps its own controls consistent (the enabling rules) and tells
// the dialog when OK has to be looked at again. Which control holds which
// choice of a request is RequestBinding's business: it reaches the controls
// through the accessors below.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace korvana {
class ClusterMethod;
class IntervalMeasure;
}

namespace korvana::app {

class VariableListsWidget;

class GeneralPage final : public QWidget {
  Q_OBJECT

 public:
  explicit GeneralPage(QWidget* parent = nullptr);

  /// Fills the lists of cluster methods, measures and standardization
  /// methods from their factories, whose shared instances must exist, and
  /// selects each list's first choice.
  void fillChoiceLists();
  /// With no data open only a matrix file can be analyzed: chooses it and
  /// disables the other choice.
  void allowOnlyMatrixFile();
  /// With data open both choices can be made again; where only the matrix
  /// file could be chosen until now, the data are chosen.
  void allowData();
  bool analyzesMatrixFile() const;

  /// The chosen cluster method and interval measure (their factories'
  /// instances); null while the lists are empty.
  const ClusterMethod* chosenClusterMethod() const;
  const IntervalMeasure* chosenIntervalMeasure() const;

  /// Applies every enabling rule of the page.
  void updateControls();

  // The controls that hold a request's choices.
  QComboBox* clusterMethodComboBox() const { return clusterMethodComboBox_; }
  QLineEdit* nrOfPermutationsEdit() const { return nrOfPermutationsEdit_; }
  QRadioButton* analyzeDataRadioButton() const { return analyzeDataRadioButton_; }
  QRadioButton* analyzeMatrixRadioButton() const { return analyzeMatrixRadioButton_; }
  QLineEdit* matrixFilenameEdit() const { return matrixFilenameEdit_; }
  QPushButton* matrixFilenameBrowseButton() const { return matrixFilenameBrowseButton_; }
  QRadioButton* clusterCasesRadioButton() const { return clusterCasesRadioButton_; }
  QRadioButton* clusterVariablesRadioButton() const { return clusterVariablesRadioButton_; }
  VariableListsWidget* variableLists() const { return variableLists_; }
  QRadioButton* intervalMeasureRadioButton() const { return intervalMeasureRadioButton_; }
  QRadioButton* countsMeasureRadioButton() const { return countsMeasureRadioButton_; }
  QRadioButton* binaryMeasureRadioButton() const { return binaryMeasureRadioButton_; }
  QComboBox* intervalMeasureComboBox() const { return intervalMeasureComboBox_; }
  QComboBox* intervalMeasurePowerComboBox() const { return intervalMeasurePowerComboBox_; }
  QComboBox* intervalMeasureRootComboBox() const { return intervalMeasureRootComboBox_; }
  QComboBox* countsMeasureComboBox() const { return countsMeasureComboBox_; }
  QComboBox* binaryMeasureComboBox() const { return binaryMeasureComboBox_; }
  QLineEdit* binaryMeasurePresentEdit() const { return binaryMeasurePresentEdit_; }
  QLineEdit* binaryMeasureAbsentEdit() const { return binaryMeasureAbsentEdit_; }
  QCheckBox* transformMeasuresAbsoluteValuesCheckBox() const { return transformMeasuresAbsoluteValuesCheckBox_; }
  QCheckBox* transformMeasuresChangeSignCheckBox() const { return transformMeasuresChangeSignCheckBox_; }
  QCheckBox* transformMeasuresRescaleCheckBox() const { return transformMeasuresRescaleCheckBox_; }
  QComboBox* standardizeMethodComboBox() const { return standardizeMethodComboBox_; }
  QRadioButton* standardizeByVariableRadioButton() const { return standardizeByVariableRadioButton_; }
  QRadioButton* standardizeByCaseRadioButton() const { return standardizeByCaseRadioButton_; }

 signals:
  /// A choice that OK depends on may have changed.
  void requestChanged();
  /// The user chose between the data and a matrix file.
  void analysisTypeChanged(bool matrixFile);

 private slots:
  void analysisTypeRadioButtonClick();
  void clusterViewRadioButtonClick();
  void variableListEnter();
  void measureKindRadioButtonClick();
  void updateMeasureControls();
  void updateStandardizeControls();
  void nrOfPermutationsUpDownClick(int step);

 private:
  QGridLayout* createTopRow();
  QGroupBox* createProximitiesGroupBox();
  QGroupBox* createAnalyzeDataGroupBox();
  QWidget* createMeasureTab();
  QWidget* createStandardizeTab();
  void connectHandlers();
  /// OK follows a number edit only where the user changed the text.
  void watchNumberEdit(QLineEdit* edit);

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
  VariableListsWidget* variableLists_{};
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
  bool onlyMatrixFile_ = false;
};

}  // namespace korvana::app
