#include "app/VariableListsWidget.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <algorithm>

namespace korvana::app {

namespace {

constexpr int variableRole = Qt::UserRole;

const Variable* variableOf(const QListWidgetItem* item) {
  return reinterpret_cast<const Variable*>(item->data(variableRole).value<quintptr>());
}

/// The small icons of the variable lists: a "12" badge for numeric
/// variables and an "a" badge for string variables.
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

template <class T>
T* named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

VariableListsWidget::VariableListsWidget(QWidget* parent) : QWidget(parent) {
  setObjectName("variableListsWidget");
  variableTypeIcons_ = {variableTypeIcon(true), variableTypeIcon(false)};

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

  clusterVariableMoveButton_ = named(new QPushButton(">>", this), "clusterVariableMoveButton");
  labelVariableMoveButton_ = named(new QPushButton(">>", this), "labelVariableMoveButton");
  for (QPushButton* button : {clusterVariableMoveButton_, labelVariableMoveButton_}) {
    button->setAutoDefault(false);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(">>") + 28);
  }
  variablesLabel_ = named(new QLabel("Variable(s):", this), "variablesLabel");
  variablesLabel_->setBuddy(clusterVariableListView_);
  labelCasesByLabel_ = named(new QLabel("Label Cases by:", this), "labelCasesByLabel");
  labelCasesByLabel_->setBuddy(labelVariableListView_);

  auto* layout = new QGridLayout(this);
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

  for (QListWidget* list : {variableListView_, clusterVariableListView_, labelVariableListView_})
    connect(list, &QListWidget::itemSelectionChanged, this, &VariableListsWidget::updateMoveButtons);
  connect(clusterVariableMoveButton_, &QPushButton::clicked, this,
          &VariableListsWidget::clusterVariableMoveButtonClick);
  connect(labelVariableMoveButton_, &QPushButton::clicked, this, &VariableListsWidget::labelVariableMoveButtonClick);
}

QListWidget* VariableListsWidget::makeList(const char* name) {
  auto* list = named(new QListWidget(this), name);
  list->setIconSize(QSize(16, 16));
  list->setUniformItemSizes(true);
  list->setTextElideMode(Qt::ElideRight);
  list->installEventFilter(this);
  list->setMinimumWidth(150);
  return list;
}

// ---------------------------------------------------------------------------
// The variables.

void VariableListsWidget::showVariables(const std::vector<Variable>& variables) {
  for (const Variable& variable : variables) variableListView_->addItem(makeItem(variable));
}

void VariableListsWidget::clearVariables() {
  for (QListWidget* list : {variableListView_, clusterVariableListView_, labelVariableListView_}) list->clear();
}

void VariableListsWidget::restoreChosenVariables(const std::vector<std::string>& clusterVariables,
                                                 const std::string& labelVariable) {
  restoreChosenVariables(clusterVariables,
                         labelVariable.empty() ? std::vector<std::string>{} : std::vector<std::string>{labelVariable});
}

void VariableListsWidget::restoreChosenVariables(const std::vector<std::string>& clusterVariables,
                                                 const std::vector<std::string>& labelVariables) {
  // The restored variables are selected as they are copied, and leave the
  // variable list together at the end.
  const QSignalBlocker quiet(variableListView_);
  variableListView_->clearSelection();
  for (const std::string& name : clusterVariables) restoreVariable(name, true, clusterVariableListView_);
  for (const std::string& name : labelVariables) restoreVariable(name, false, labelVariableListView_);
  for (QListWidgetItem* item : variableListView_->selectedItems()) delete item;
}

void VariableListsWidget::restoreVariable(const std::string& name, bool numeric, QListWidget* target) {
  for (int row = 0; row < variableListView_->count(); ++row) {
    QListWidgetItem* item = variableListView_->item(row);
    const Variable* variable = variableOf(item);
    if (variable->getName() != name || variable->isNumeric() != numeric) continue;
    item->setSelected(true);
    target->addItem(copyItem(*item));
    return;
  }
}

std::vector<std::string> VariableListsWidget::clusterVariableNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < clusterVariableListView_->count(); ++i)
    names.push_back(variableOf(clusterVariableListView_->item(i))->getName());
  return names;
}

std::vector<std::string> VariableListsWidget::labelVariableNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < labelVariableListView_->count(); ++i)
    names.push_back(variableOf(labelVariableListView_->item(i))->getName());
  return names;
}

int VariableListsWidget::clusterVariableCount() const { return clusterVariableListView_->count(); }

QListWidgetItem* VariableListsWidget::makeItem(const Variable& variable) const {
  auto* item = new QListWidgetItem(variableTypeIcons_[variable.isNumeric() ? 0 : 1],
                                   QString::fromStdString(variable.getDisplayText()));
  item->setData(variableRole, QVariant::fromValue(reinterpret_cast<quintptr>(&variable)));
  item->setToolTip(item->text());
  return item;
}

QListWidgetItem* VariableListsWidget::copyItem(const QListWidgetItem& from) {
  auto* item = new QListWidgetItem(from.icon(), from.text());
  item->setData(variableRole, from.data(variableRole));
  item->setToolTip(from.text());
  return item;
}

// ---------------------------------------------------------------------------
// The enabling rules.

void VariableListsWidget::updateControls(bool analyzeData) {
  variableListView_->setEnabled(analyzeData);
  variablesLabel_->setEnabled(analyzeData);
  clusterVariableListView_->setEnabled(analyzeData);
  const bool labels = analyzeData && casesClustered_;
  labelCasesByLabel_->setEnabled(labels);
  labelVariableListView_->setEnabled(labels);
  updateMoveButtons();
}

void VariableListsWidget::updateMoveButtons() {
  updateClusterVariableMoveButton();
  updateLabelVariableMoveButton();
}

void VariableListsWidget::clearSelections(std::initializer_list<QListWidget*> lists) {
  for (QListWidget* list : lists) {
    const QSignalBlocker quiet(list);
    list->clearSelection();
  }
}

void VariableListsWidget::updateClusterVariableMoveButton() {
  if (variableListView_->hasFocus()) {
    clusterVariableMoveButton_->setText(">>");
    clearSelections({clusterVariableListView_, labelVariableListView_});
    const QList<QListWidgetItem*> selected = variableListView_->selectedItems();
    bool numeric = !selected.isEmpty();
    for (const QListWidgetItem* item : selected) numeric = numeric && variableOf(item)->isNumeric();
    clusterVariableMoveButton_->setEnabled(numeric);
  } else if (clusterVariableListView_->hasFocus()) {
    clusterVariableMoveButton_->setText("<<");
    clearSelections({variableListView_, labelVariableListView_});
    clusterVariableMoveButton_->setEnabled(!clusterVariableListView_->selectedItems().isEmpty());
  } else {
    clusterVariableMoveButton_->setEnabled(false);
  }
}

void VariableListsWidget::updateLabelVariableMoveButton() {
  bool possible = false;
  if (variableListView_->hasFocus()) {
    labelVariableMoveButton_->setText(">>");
    clearSelections({clusterVariableListView_, labelVariableListView_});
    const QList<QListWidgetItem*> selected = variableListView_->selectedItems();
    possible = selected.size() == 1 && !variableOf(selected.front())->isNumeric();
  } else if (labelVariableListView_->hasFocus()) {
    labelVariableMoveButton_->setText("<<");
    clearSelections({variableListView_, clusterVariableListView_});
    possible = labelVariableListView_->selectedItems().size() == 1;
  }
  labelVariableMoveButton_->setEnabled(possible && casesClustered_);
}

// ---------------------------------------------------------------------------
// The moves.

void VariableListsWidget::clusterVariableMoveButtonClick() {
  if (!variableListView_->selectedItems().isEmpty()) {
    moveSelectedItems(variableListView_, clusterVariableListView_);
  } else if (!clusterVariableListView_->selectedItems().isEmpty()) {
    moveSelectedItems(clusterVariableListView_, variableListView_);
  }
  updateMoveButtons();
}

void VariableListsWidget::labelVariableMoveButtonClick() {
  if (variableListView_->selectedItems().size() == 1) {
    moveSelectedItems(variableListView_, labelVariableListView_);
  } else if (labelVariableListView_->selectedItems().size() == 1) {
    moveSelectedItems(labelVariableListView_, variableListView_);
  }
  updateMoveButtons();
}

void VariableListsWidget::insertSorted(QListWidgetItem* item) {
  const std::int32_t index = variableOf(item)->getIndex();
  int row = 0;
  while (row < variableListView_->count() && variableOf(variableListView_->item(row))->getIndex() < index) ++row;
  variableListView_->insertItem(row, item);
}

void VariableListsWidget::moveSelectedItems(QListWidget* source, QListWidget* target) {
  std::vector<QListWidgetItem*> moved;
  {
    const QSignalBlocker quietTarget(target);
    target->clearSelection();
    for (int row = 0; row < source->count(); ++row) {
      QListWidgetItem* item = source->item(row);
      if (!item->isSelected()) continue;
      QListWidgetItem* copy = copyItem(*item);
      if (target == variableListView_) {
        insertSorted(copy);
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
  // The focus follows the variables; entering the list updates the dialog.
  target->setFocus(Qt::OtherFocusReason);
}

bool VariableListsWidget::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn &&
      (watched == variableListView_ || watched == clusterVariableListView_ || watched == labelVariableListView_))
    emit listEntered();
  return QWidget::eventFilter(watched, event);
}

}  // namespace korvana::app
