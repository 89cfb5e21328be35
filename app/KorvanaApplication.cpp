#include "app/KorvanaApplication.h"

#include <exception>
#include <new>

#include "platform/host/MessageBoxes.h"

namespace korvana::app {

namespace {

KorvanaApplication::ExceptionHandler& currentHandler() {
  static KorvanaApplication::ExceptionHandler handler;
  return handler;
}

}  // namespace

KorvanaApplication::KorvanaApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Korvana");
}

void KorvanaApplication::setExceptionHandler(ExceptionHandler handler) { currentHandler() = std::move(handler); }

void KorvanaApplication::handleCurrentException() noexcept {
  std::string message;
  try {
    throw;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
  }
  try {
    if (currentHandler()) {
      currentHandler()(message);
    } else {
      host::showErrorBox(message);
    }
  } catch (...) {
    // Reporting failed as well; nothing else can be told.
  }
}

bool KorvanaApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    handleCurrentException();
    return true;
  }
}

}  // namespace korvana::app
