#include "app/QtMessageBoxes.h"

#include <QApplication>

namespace korvana::app {

using host::MessageAnswer;
using host::MessageButtons;
using host::MessageIcon;

namespace {

QMessageBox::StandardButton buttonOf(MessageAnswer answer) {
  switch (answer) {
    case MessageAnswer::ok: return QMessageBox::Ok;
    case MessageAnswer::yes: return QMessageBox::Yes;
    case MessageAnswer::no: return QMessageBox::No;
    case MessageAnswer::cancel: return QMessageBox::Cancel;
    case MessageAnswer::closed: break;
  }
  return QMessageBox::NoButton;
}

}  // namespace

void QtMessageBoxes::configure(QMessageBox& box, const host::MessageBoxRequest& request) {
  box.setWindowTitle(QString::fromStdString(request.caption));
  box.setText(QString::fromStdString(request.text));
  box.setTextFormat(Qt::PlainText);
  switch (request.icon) {
    case MessageIcon::error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::information: box.setIcon(QMessageBox::Information); break;
  }
  switch (request.buttons) {
    case MessageButtons::ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MessageButtons::yesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MessageButtons::yesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  const QMessageBox::StandardButton preferred = buttonOf(request.defaultButton);
  if (box.button(preferred) != nullptr) box.setDefaultButton(preferred);
}

MessageAnswer QtMessageBoxes::answerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return MessageAnswer::ok;
    case QMessageBox::Yes: return MessageAnswer::yes;
    case QMessageBox::No: return MessageAnswer::no;
    case QMessageBox::Cancel: return MessageAnswer::cancel;
    default: return MessageAnswer::closed;
  }
}

MessageAnswer QtMessageBoxes::show(const host::MessageBoxRequest& request) {
  QMessageBox box(QApplication::activeWindow());
  configure(box, request);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return clicked == nullptr ? MessageAnswer::closed : answerOf(box.standardButton(clicked));
}

}  // namespace korvana::app
