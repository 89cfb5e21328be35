// The message boxes of the desktop program: every box of the program (the
// standard error box, the checks' Yes/No/Cancel prompt, the questions of OK)
// is a modal Qt message box with the requested caption, icon, buttons and
// default button.
#pragma once

#include <QMessageBox>

#include "platform/host/MessageBoxes.h"

namespace korvana::app {

class QtMessageBoxes final : public host::MessageBoxService {
 public:
  host::MessageAnswer show(const host::MessageBoxRequest& request) override;

  /// The box as it would be shown (not executed), for show() and for tests.
  static void configure(QMessageBox& box, const host::MessageBoxRequest& request);
  /// The answer for the button that closed the box (closed for none).
  static host::MessageAnswer answerOf(QMessageBox::StandardButton button);
};

}  // namespace korvana::app
