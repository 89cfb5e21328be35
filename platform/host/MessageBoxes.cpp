#include "platform/host/MessageBoxes.h"

#include <cstdio>

namespace korvana::host {

namespace {

StandardErrorMessageBoxes& standardErrorBoxes() {
  static StandardErrorMessageBoxes boxes;
  return boxes;
}

MessageBoxService*& currentService() {
  static MessageBoxService* service = nullptr;
  return service;
}

}  // namespace

MessageBoxService& messageBoxes() {
  MessageBoxService* service = currentService();
  return service ? *service : standardErrorBoxes();
}

void setMessageBoxService(MessageBoxService* service) { currentService() = service; }

std::string withFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
    return message + ".";
  return message;
}

void showErrorBox(const std::string& message) {
  messageBoxes().show({"Korvana", withFullStop(message), MessageIcon::error, MessageButtons::ok, MessageAnswer::ok});
}

MessageAnswer StandardErrorMessageBoxes::show(const MessageBoxRequest& request) {
  const char* kind = request.icon == MessageIcon::error     ? "error"
                     : request.icon == MessageIcon::warning ? "warning"
                                                           : "note";
  std::fprintf(stderr, "%s: %s: %s\n", request.caption.c_str(), kind, request.text.c_str());
  return request.defaultButton;
}

MessageAnswer RecordingMessageBoxes::show(const MessageBoxRequest& request) {
  shown_.push_back(request);
  if (answers_.empty()) return request.defaultButton;
  const MessageAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

}  // namespace korvana::host
