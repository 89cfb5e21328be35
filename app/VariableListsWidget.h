// The "Variables" tab of the main dialog: the data set's variables on the
// left; on the right the variables to cluster and the variable that labels
// the cases, each with a move button between it and the variable list.
//
// A move button points away from the variable list (">>") while that list
// has the focus and moves its selected variables over; it points back ("<<")
// while its own list has the focus and returns them. Only numeric variables
// can be clustered; one string variable at a time moves to the label list,
// and only while cases are clustered. Entering a list clears the selections
// in the other two. The variable list keeps dictionary order; the other two
// keep the order in which variables arrive.
#pragma once

#include <QIcon>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "analysis/Variable.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace korvana::app {

class VariableListsWidget final : public QWidget {
  Q_OBJECT

 public:
  explicit VariableListsWidget(QWidget* parent = nullptr);

  /// The icons of numeric (0) and string (1) variables.
  const std::array<QIcon, 2>& variableTypeIcons() const { return variableTypeIcons_; }

  /// Lists the variables in the variable list. The items refer to the
  /// variables, which must stay where they are until clearVariables().
  void showVariables(const std::vector<Variable>& variables);
  /// Empties all three lists.
  void clearVariables();
  /// Moves a stored choice out of the variable list, by name and kind: the
  /// numeric cluster variables in the stored order, then the string label
  /// variable (none when the name is empty). Names that match nothing are
  /// passed over.
  void restoreChosenVariables(const std::vector<std::string>& clusterVariables, const std::string& labelVariable);
  /// The same with every name in the label list (it may hold more than one).
  void restoreChosenVariables(const std::vector<std::string>& clusterVariables,
                              const std::vector<std::string>& labelVariables);

  /// The names in the cluster list and in the label list, in list order.
  std::vector<std::string> clusterVariableNames() const;
  std::vector<std::string> labelVariableNames() const;
  int clusterVariableCount() const;

  /// Tells whether cases are clustered; only then can a label variable move.
  void setCasesClustered(bool clustered) { casesClustered_ = clustered; }
  /// Enables the lists while the data are analyzed (not a matrix file), the
  /// label list only while cases are clustered as well, and the move
  /// buttons as the focus and the selections allow.
  void updateControls(bool analyzeData);

 signals:
  /// One of the three lists received the focus.
  void listEntered();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void updateMoveButtons();
  void clusterVariableMoveButtonClick();
  void labelVariableMoveButtonClick();

 private:
  QListWidget* makeList(const char* name);
  void updateClusterVariableMoveButton();
  void updateLabelVariableMoveButton();
  /// Clears the selections of the other lists without their signals.
  static void clearSelections(std::initializer_list<QListWidget*> lists);
  QListWidgetItem* makeItem(const Variable& variable) const;
  static QListWidgetItem* copyItem(const QListWidgetItem& from);
  /// Inserts into the variable list at the variable's dictionary position.
  void insertSorted(QListWidgetItem* item);
  void moveSelectedItems(QListWidget* source, QListWidget* target);
  /// Selects the first item of the variable list with that name and kind
  /// and copies it to target.
  void restoreVariable(const std::string& name, bool numeric, QListWidget* target);

  QListWidget* variableListView_{};
  QPushButton* clusterVariableMoveButton_{};
  QLabel* variablesLabel_{};
  QListWidget* clusterVariableListView_{};
  QPushButton* labelVariableMoveButton_{};
  QLabel* labelCasesByLabel_{};
  QListWidget* labelVariableListView_{};
  std::array<QIcon, 2> variableTypeIcons_;
  bool casesClustered_ = true;
};

}  // namespace korvana::app
