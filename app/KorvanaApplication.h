// The application object of the desktop program. It carries the handler of
// errors that no event handler caught (the main dialog installs its
// showApplicationError there), so that such an error is shown and ends the
// program instead of unwinding through the toolkit.
#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace korvana::app {

class KorvanaApplication final : public QApplication {
 public:
  using ExceptionHandler = std::function<void(const std::string& message)>;

  KorvanaApplication(int& argc, char** argv);

  /// Installs the handler of unhandled errors (replacing the one before).
  static void setExceptionHandler(ExceptionHandler handler);
  /// Passes the error in flight to the handler: its message for a standard
  /// exception, an empty message for anything else. Without a handler the
  /// standard error box shows it. Call only from a catch block.
  static void handleCurrentException() noexcept;

  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace korvana::app
