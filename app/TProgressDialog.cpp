#include "app/TProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace korvana::app {

namespace {

TProgressDialog* theProgressDialog = nullptr;

QLabel* boldLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

TProgressDialog::TProgressDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("ProgressDialog");
  setWindowTitle("Korvana - Running Analysis");

  pleaseWaitLabel_ = boldLabel("Please wait while performing the following steps.", "pleaseWaitLabel", this);
  statusLabel1_ = boldLabel("Step 1 : Performing analysis", "statusLabel1", this);
  statusLabel2_ = boldLabel("Step 2 : Generating output", "statusLabel2", this);
  statusLabel3_ = boldLabel("Step 3 : Generating statistics", "statusLabel3", this);
  stepLabels_ = {statusLabel1_, statusLabel2_, statusLabel3_};
  progressLabel_ = new QLabel(this);
  progressLabel_->setObjectName("progressLabel");
  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("progressBar");
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  cancelButton_ = new QPushButton("Cancel", this);
  cancelButton_->setObjectName("cancelButton");
  cancelButton_->setAutoDefault(false);
  connect(cancelButton_, &QPushButton::clicked, this, &TProgressDialog::cancelButtonClick);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 12);
  layout->setSpacing(6);
  layout->addWidget(pleaseWaitLabel_);
  layout->addSpacing(6);
  for (QLabel* label : stepLabels_) {
    label->setIndent(16);
    layout->addWidget(label);
  }
  layout->addSpacing(8);
  layout->addWidget(progressLabel_);
  layout->addWidget(progressBar_);
  layout->addSpacing(4);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancelButton_);
  buttons->addStretch();
  layout->addLayout(buttons);

  // The step labels change their texts during a run; the width is fixed so
  // that the window does not jump.
  const QSize hint = sizeHint();
  setFixedSize(std::max(hint.width(), 360), std::max(hint.height(), 186));
  theProgressDialog = this;
}

TProgressDialog::~TProgressDialog() {
  while (busyCursors_ > 0) restoreCursor();
  if (theProgressDialog == this) theProgressDialog = nullptr;
}

TProgressDialog* TProgressDialog::instance() { return theProgressDialog; }

void TProgressDialog::setSteps(const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < stepLabels_.size(); ++i) {
    QLabel* label = stepLabels_[i];
    if (i < names.size()) {
      label->setText(QString("Step %1 : %2").arg(i + 1).arg(QString::fromStdString(names[i])));
      label->setEnabled(false);
      label->show();
    } else {
      label->hide();
    }
  }
}

void TProgressDialog::setStep(int index, int minimum, int maximum) {
  const int count = static_cast<int>(stepLabels_.size());
  if (index > 0 && index - 1 < count) stepLabels_[static_cast<std::size_t>(index - 1)]->setEnabled(false);
  if (index >= 0 && index < count) {
    QLabel* label = stepLabels_[static_cast<std::size_t>(index)];
    label->setEnabled(true);
    // The step's name: what follows the first ":" and the blank after it.
    const QString text = label->text();
    const qsizetype colon = text.indexOf(':');
    progressLabel_->setText(colon < 0 ? text : text.mid(colon + 2));
  }
  progressBar_->setMinimum(minimum);
  progressBar_->setMaximum(maximum);
  progressBar_->setValue(minimum);
  processMessages();
}

void TProgressDialog::setStatus(const std::string& text) {
  progressLabel_->setText(QString::fromStdString(text));
  processMessages();
}

void TProgressDialog::stepIt() {
  progressBar_->setValue(progressBar_->value() + 1);
  processMessages();
}

void TProgressDialog::showProgress() {
  show();
  raise();
  processMessages();
}

void TProgressDialog::hideProgress() {
  hide();
  processMessages();
}

void TProgressDialog::showBusyCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ++busyCursors_;
}

void TProgressDialog::restoreCursor() {
  if (busyCursors_ == 0) return;
  QApplication::restoreOverrideCursor();
  --busyCursors_;
}

void TProgressDialog::processMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TProgressDialog::requestClose() { close(); }

void TProgressDialog::cancelButtonClick() {
  canceled_ = true;
  cancelButton_->setEnabled(false);
}

void TProgressDialog::reject() {
  // Escape does not close the window either.
}

void TProgressDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

void TProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

}  // namespace korvana::app
