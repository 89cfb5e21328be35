#include "output/AutomationCallChecks.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string_view>

namespace korvana::output {

namespace {

using namespace automation;
using host::MessageAnswer;
using host::MessageBoxRequest;
using host::MessageButtons;
using host::MessageIcon;

// The system's message table for the codes the package's automation layer
// returns (the English texts).
struct SystemMessage {
  HRESULT code;
  const char* text;
};

constexpr SystemMessage systemMessages[] = {
    {E_NOTIMPL, "Not implemented"},
    {E_NOINTERFACE, "No such interface supported"},
    {E_POINTER, "Invalid pointer"},
    {E_ABORT, "Operation aborted"},
    {E_FAIL, "Unspecified error"},
    {E_UNEXPECTED, "Catastrophic failure"},
    {E_ACCESSDENIED, "Access is denied."},
    {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {DISP_E_TYPEMISMATCH, "Type mismatch."},
    {DISP_E_BADINDEX, "Invalid index."},
    {MK_E_UNAVAILABLE, "Operation unavailable"},
    {CO_E_CLASSSTRING, "Invalid class string"},
    {RPC_E_DISCONNECTED, "The object invoked has disconnected from its clients."},
    {OUTDOC_E_NOTACTIVE, "The output item is not activated for editing."},
    {OUTDOC_E_NOSELECTION, "No output item is selected."},
    {OUTDOC_E_NOLABELSELECTED, "No label of the pivot table is selected."},
    {OUTDOC_E_BADRTF, "The rich text could not be read."},
};

MessageAnswer prompt(const char* caption, const std::string& message) {
  MessageBoxRequest request;
  request.caption = caption;
  request.text = promptText(message);
  request.icon = MessageIcon::question;
  request.buttons = MessageButtons::yesNoCancel;
  request.defaultButton = MessageAnswer::yes;
  return host::messageBoxes().show(request);
}

std::string formatted(const char* format, auto... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

}  // namespace

std::optional<std::string> systemMessageText(HRESULT result) {
  for (const SystemMessage& message : systemMessages)
    if (message.code == result) return std::string(message.text);
  return std::nullopt;
}

std::string promptText(const std::string& message) {
  return message + "\nPress [Y]es to terminate, [N]o to continue and [C]ancel to Debug";
}

bool debuggerAttached() {
  std::ifstream status("/proc/self/status");
  std::string line;
  constexpr std::string_view key = "TracerPid:";
  while (std::getline(status, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    const std::size_t digit = line.find_first_not_of(" \t", key.size());
    return digit != std::string::npos && line.compare(digit, std::string::npos, "0") != 0;
  }
  return false;
}

void assertPrompt(const std::string& conditionText, const std::string& sourceFile, int line) {
  const std::string message = formatted("%s @ %s/%d", conditionText.c_str(), sourceFile.c_str(), line);
  if (prompt(assertCaption, message) == MessageAnswer::yes)
    throw EAutomationCheckFailed(
        formatted("%s failed - %s/%d", conditionText.c_str(), sourceFile.c_str(), line));
}

MessageAnswer BatchMessageBoxes::show(const MessageBoxRequest& request) {
  const bool checkPrompt = request.caption == assertCaption || request.caption == resultCheckCaption;
  if (!checkPrompt) {
    std::fprintf(stream_, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return request.defaultButton;
  }
  // The question under the message asks for a key press nobody can give.
  std::string message = request.text;
  const std::string question = promptText("");
  if (message.size() >= question.size() &&
      message.compare(message.size() - question.size(), question.size(), question) == 0)
    message.erase(message.size() - question.size());
  std::fprintf(stream_, "%s%s\n(not interactive: answered Yes, the run ends)\n", request.caption.c_str(),
               message.c_str());
  return MessageAnswer::yes;
}

HRESULT resultCheckPrompt(HRESULT result, const std::string& callText, const std::string& sourceFile, int line) {
  if (succeeded(result)) return result;
  std::string message;
  if (const std::optional<std::string> text = systemMessageText(result))
    message = formatted("'%s': %s @ %s/%d", callText.c_str(), text->c_str(), sourceFile.c_str(), line);
  else
    // The code as the system's 32-bit long prints it, in hex and in decimal.
    message = formatted("(%s) Error: %lX (%ld) @ %s/%d", callText.c_str(),
                        static_cast<unsigned long>(static_cast<std::uint32_t>(result)), static_cast<long>(result),
                        sourceFile.c_str(), line);
  switch (prompt(resultCheckCaption, message)) {
    case MessageAnswer::yes:
      throw EAutomationCheckFailed(message);
    case MessageAnswer::cancel:
      if (debuggerAttached()) std::raise(SIGTRAP);
      break;
    default:
      break;
  }
  return result;
}

}  // namespace korvana::output
