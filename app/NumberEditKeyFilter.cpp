#include "app/NumberEditKeyFilter.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace korvana::app {

NumberEditKeyFilter::NumberEditKeyFilter(Sign sign, QObject* parent) : QObject(parent), sign_(sign) {}

void NumberEditKeyFilter::install(QLineEdit* edit, Sign sign) {
  edit->installEventFilter(new NumberEditKeyFilter(sign, edit));
}

bool NumberEditKeyFilter::passes(const QString& typed, Sign sign) {
  // Keys that type no character (moving, deleting, Tab, Enter, Escape,
  // shortcuts) are not the filter's business; backspace is one of them.
  if (typed.isEmpty() || !typed.front().isPrint()) return true;
  if (typed.size() == 1 && typed[0] >= '0' && typed[0] <= '9') return true;
  return sign == Sign::minusAllowed && typed == "-";
}

bool NumberEditKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && !passes(static_cast<QKeyEvent*>(event)->text(), sign_)) return true;
  return QObject::eventFilter(watched, event);
}

}  // namespace korvana::app
