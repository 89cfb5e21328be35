// The checks that guard every call into the statistics package's automation
// interfaces. A call through an empty interface reference, or a call that
// returns a failure code, is shown to the user in a Yes/No/Cancel prompt:
// Yes terminates (an EAutomationCheckFailed is raised carrying the message),
// No goes on, Cancel breaks into an attached debugger and otherwise goes on.
//
// Callers write
//     HRCHECK(items->GetItem(index, item.put()));
//     ASSERT_INTF(item);
// so that the prompt names the call and the source position.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "SPSS/AutomationCore.h"
#include "common/EKorvanaError.h"
#include "platform/host/MessageBoxes.h"

namespace korvana::output {

using automation::HRESULT;

/// Raised when the user answers Yes to a check's prompt; the message is the
/// prompt's message without the question.
class EAutomationCheckFailed : public EKorvanaError {
 public:
  using EKorvanaError::EKorvanaError;
};

/// Caption of the prompt after a call through an empty interface reference.
inline constexpr const char* assertCaption = "_ASSERTE: ";
/// Caption of the prompt after a failed call.
inline constexpr const char* resultCheckCaption = "HRCHECK: ";

/// The system's text for a result code, without a trailing line end; nothing
/// when the system has no text for the code.
std::optional<std::string> systemMessageText(HRESULT result);

/// Reports a failed condition (the interface reference is empty) before the
/// call it guards: prompts "<condition> @ <file>/<line>". Yes raises
/// EAutomationCheckFailed("<condition> failed - <file>/<line>"); No and Cancel
/// return so that the call goes on.
void assertPrompt(const std::string& conditionText, const std::string& sourceFile, int line);

/// Checks a call's result. A result that is not negative returns at once
/// without a prompt. A failure prompts "'<call>': <system text> @ <file>/<line>",
/// or "(<call>) Error: <hex> (<decimal>) @ <file>/<line>" for a code without a
/// system text. Yes raises EAutomationCheckFailed with that message; No returns
/// the failure; Cancel raises SIGTRAP when a debugger is attached and then
/// returns the failure like No.
HRESULT resultCheckPrompt(HRESULT result, const std::string& callText, const std::string& sourceFile, int line);

/// The prompt's text around a message.
std::string promptText(const std::string& message);

/// Whether a debugger is attached to this process.
bool debuggerAttached();

/// The message boxes of the batch front end, where nobody is there to answer.
/// Every box is written to a stream (standard error unless another is given).
/// A check's prompt is answered Yes, so that an automation failure ends the
/// run with its message; every other box gets its default button.
class BatchMessageBoxes final : public host::MessageBoxService {
 public:
  explicit BatchMessageBoxes(std::FILE* stream = stderr) : stream_(stream) {}
  host::MessageAnswer show(const host::MessageBoxRequest& request) override;

 private:
  std::FILE* stream_;
};

}  // namespace korvana::output

/// Checks an automation call's result and evaluates to it.
#define HRCHECK(call) ::korvana::output::resultCheckPrompt((call), #call, __FILE__, __LINE__)

/// Prompts when an interface reference is empty, before it is used.
#define ASSERT_INTF(intf)                                                   \
  do {                                                                      \
    if (!(intf)) ::korvana::output::assertPrompt("intf != 0", __FILE__, __LINE__); \
  } while (false)
