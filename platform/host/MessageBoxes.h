// Message boxes: the program's questions and error reports to the user. The
// desktop program shows real dialogs; the batch front end writes to standard
// error and answers questions the way that ends a run cleanly; tests script
// the answers and record what was shown.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace korvana::host {

enum class MessageIcon { error, warning, question, information };
enum class MessageButtons { ok, yesNo, yesNoCancel };
enum class MessageAnswer { ok, yes, no, cancel, closed };

struct MessageBoxRequest {
  std::string caption;
  std::string text;
  MessageIcon icon = MessageIcon::information;
  MessageButtons buttons = MessageButtons::ok;
  MessageAnswer defaultButton = MessageAnswer::ok;
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  /// Shows the box and returns the user's answer.
  virtual MessageAnswer show(const MessageBoxRequest& request) = 0;
};

/// The service in use (standard error until another is installed).
MessageBoxService& messageBoxes();
/// Installs a service (borrowed; null restores the standard-error one).
void setMessageBoxService(MessageBoxService* service);

/// The message as the standard error box shows it: a full stop is appended
/// when the last character sorts after the full stop in character order, so a
/// message ending in a letter gains one and one ending in "." or "!" does not.
std::string withFullStop(const std::string& message);

/// The standard error box: caption "Korvana", error icon, OK button.
void showErrorBox(const std::string& message);

/// Writes every box to standard error; questions get their default button.
class StandardErrorMessageBoxes final : public MessageBoxService {
 public:
  MessageAnswer show(const MessageBoxRequest& request) override;
};

/// Records every box and answers from a script (then with the default
/// button once the script is used up).
class RecordingMessageBoxes final : public MessageBoxService {
 public:
  MessageAnswer show(const MessageBoxRequest& request) override;
  void scriptAnswer(MessageAnswer answer) { answers_.push_back(answer); }
  const std::vector<MessageBoxRequest>& shown() const { return shown_; }
  void clear() { shown_.clear(); }

 private:
  std::vector<MessageBoxRequest> shown_;
  std::deque<MessageAnswer> answers_;
};

/// Installs a service for the lifetime of the guard.
class ScopedMessageBoxService {
 public:
  explicit ScopedMessageBoxService(MessageBoxService& service) { setMessageBoxService(&service); }
  ~ScopedMessageBoxService() { setMessageBoxService(nullptr); }
  ScopedMessageBoxService(const ScopedMessageBoxService&) = delete;
  ScopedMessageBoxService& operator=(const ScopedMessageBoxService&) = delete;
};

}  // namespace korvana::host
