// The checks around automation calls: what the prompts say, what each answer
// does, the batch answers, the debugger break, and checks around calls into
// the package with planted failures.
#include "output/AutomationCallChecks.h"

#include <gtest/gtest.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/spss/StatisticsPackage.h"
#include "platform/host/MessageBoxes.h"

namespace {

using namespace korvana::automation;
using korvana::output::assertPrompt;
using korvana::output::BatchMessageBoxes;
using korvana::output::EAutomationCheckFailed;
using korvana::output::promptText;
using korvana::output::resultCheckPrompt;
using korvana::host::MessageAnswer;
using korvana::host::MessageButtons;
using korvana::host::MessageIcon;
using korvana::host::RecordingMessageBoxes;
using korvana::host::ScopedMessageBoxService;

constexpr const char* question = "\nPress [Y]es to terminate, [N]o to continue and [C]ancel to Debug";

class AutomationCallChecksTest : public ::testing::Test {
 protected:
  RecordingMessageBoxes boxes_;
  ScopedMessageBoxService installed_{boxes_};
};

TEST_F(AutomationCallChecksTest, ResultsThatAreNotNegativePassSilently) {
  for (const HRESULT code : {S_OK, S_FALSE, HRESULT{0x7FFFFFFF}})
    EXPECT_EQ(resultCheckPrompt(code, "x->Call()", "f.cpp", 1), code);
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(AutomationCallChecksTest, AFailureAnsweredYesRaisesTheMessage) {
  boxes_.scriptAnswer(MessageAnswer::yes);
  try {
    resultCheckPrompt(E_FAIL, "this->GetDataDoc(index, (Spsswin_tlb::ISpssDataDoc**)&retval)", "Dictionary.cpp", 42);
    FAIL() << "Yes did not raise";
  } catch (const EAutomationCheckFailed& error) {
    EXPECT_STREQ(error.what(),
                 "'this->GetDataDoc(index, (Spsswin_tlb::ISpssDataDoc**)&retval)': Unspecified error "
                 "@ Dictionary.cpp/42");
  }
  ASSERT_EQ(boxes_.shown().size(), 1u);
  const auto& box = boxes_.shown()[0];
  EXPECT_EQ(box.caption, "HRCHECK: ");
  EXPECT_EQ(box.text, std::string("'this->GetDataDoc(index, (Spsswin_tlb::ISpssDataDoc**)&retval)': Unspecified error "
                                  "@ Dictionary.cpp/42") +
                          question);
  EXPECT_EQ(box.icon, MessageIcon::question);
  EXPECT_EQ(box.buttons, MessageButtons::yesNoCancel);
}

TEST_F(AutomationCallChecksTest, ACodeWithoutSystemTextShowsItInHexAndDecimal) {
  boxes_.scriptAnswer(MessageAnswer::yes);
  try {
    resultCheckPrompt(resultCode(0x80041234u), "doc->Promote()", "Out.cpp", 7);
    FAIL() << "Yes did not raise";
  } catch (const EAutomationCheckFailed& error) {
    EXPECT_STREQ(error.what(), "(doc->Promote()) Error: 80041234 (-2147216844) @ Out.cpp/7");
  }
  EXPECT_FALSE(korvana::output::systemMessageText(resultCode(0x80041234u)));
  EXPECT_EQ(korvana::output::systemMessageText(DISP_E_BADINDEX), "Invalid index.");
}

TEST_F(AutomationCallChecksTest, NoAndCancelReturnTheFailureToTheCaller) {
  boxes_.scriptAnswer(MessageAnswer::no);
  EXPECT_EQ(resultCheckPrompt(E_INVALIDARG, "a->B()", "f.cpp", 3), E_INVALIDARG);
  // No debugger is attached here, so Cancel must not raise SIGTRAP (which
  // would end this test program).
  ASSERT_FALSE(korvana::output::debuggerAttached());
  boxes_.scriptAnswer(MessageAnswer::cancel);
  EXPECT_EQ(resultCheckPrompt(OUTDOC_E_NOTACTIVE, "a->B()", "f.cpp", 4), OUTDOC_E_NOTACTIVE);
  ASSERT_EQ(boxes_.shown().size(), 2u);
  EXPECT_EQ(boxes_.shown()[1].text,
            std::string("'a->B()': The output item is not activated for editing. @ f.cpp/4") + question);
}

TEST_F(AutomationCallChecksTest, AnEmptyInterfacePromptsBeforeTheCall) {
  boxes_.scriptAnswer(MessageAnswer::no);
  boxes_.scriptAnswer(MessageAnswer::cancel);
  EXPECT_NO_THROW(assertPrompt("intf != 0", "Notes.cpp", 10));
  EXPECT_NO_THROW(assertPrompt("intf != 0", "Notes.cpp", 11));
  boxes_.scriptAnswer(MessageAnswer::yes);
  try {
    assertPrompt("intf != 0", "Notes.cpp", 12);
    FAIL() << "Yes did not raise";
  } catch (const EAutomationCheckFailed& error) {
    EXPECT_STREQ(error.what(), "intf != 0 failed - Notes.cpp/12");
  }
  ASSERT_EQ(boxes_.shown().size(), 3u);
  EXPECT_EQ(boxes_.shown()[0].caption, "_ASSERTE: ");
  EXPECT_EQ(boxes_.shown()[0].text, std::string("intf != 0 @ Notes.cpp/10") + question);
  EXPECT_EQ(boxes_.shown()[2].buttons, MessageButtons::yesNoCancel);
}

TEST_F(AutomationCallChecksTest, TheMacrosNameTheCallAndItsPlace) {
  AutomationPtr<Spsswin_tlb::ISpssApp> empty;
  boxes_.scriptAnswer(MessageAnswer::no);
  ASSERT_INTF(empty);
  const int assertLine = __LINE__ - 1;
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].text,
            "intf != 0 @ " + std::string(__FILE__) + "/" + std::to_string(assertLine) + question);

  const auto failing = [](int) { return E_POINTER; };
  boxes_.scriptAnswer(MessageAnswer::no);
  EXPECT_EQ(HRCHECK(failing(1)), E_POINTER);
  const int checkLine = __LINE__ - 1;
  ASSERT_EQ(boxes_.shown().size(), 2u);
  EXPECT_EQ(boxes_.shown()[1].text, "'failing(1)': Invalid pointer @ " + std::string(__FILE__) + "/" +
                                        std::to_string(checkLine) + question);
}

TEST(BatchMessageBoxesTest, ACheckPromptIsAnsweredYesAndOtherBoxesGetTheirDefault) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  BatchMessageBoxes batch(stream);
  ScopedMessageBoxService installed(batch);
  try {
    resultCheckPrompt(E_ABORT, "app->ExecuteCommands(syntax, 1)", "Run.cpp", 9);
    FAIL() << "the batch answer did not end the run";
  } catch (const EAutomationCheckFailed& error) {
    EXPECT_STREQ(error.what(), "'app->ExecuteCommands(syntax, 1)': Operation aborted @ Run.cpp/9");
  }
  EXPECT_EQ(korvana::host::messageBoxes().show({"Korvana", "Overwrite?", MessageIcon::question,
                                                   MessageButtons::yesNo, MessageAnswer::no}),
            MessageAnswer::no);
  std::rewind(stream);
  std::string written;
  for (int c; (c = std::fgetc(stream)) != EOF;) written += static_cast<char>(c);
  std::fclose(stream);
  EXPECT_EQ(written,
            "HRCHECK: 'app->ExecuteCommands(syntax, 1)': Operation aborted @ Run.cpp/9\n"
            "(not interactive: answered Yes, the run ends)\n"
            "Korvana: Overwrite?\n");
}

// Cancel under a debugger: the child process asks to be traced by this one
// (which then counts as its debugger), answers Cancel, and must stop with
// SIGTRAP before it returns the failure.
TEST(DebuggerBreakTest, CancelBreaksIntoAnAttachedDebugger) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(3);
    RecordingMessageBoxes boxes;
    ScopedMessageBoxService installed(boxes);
    boxes.scriptAnswer(MessageAnswer::cancel);
    if (!korvana::output::debuggerAttached()) _exit(4);
    const HRESULT result = resultCheckPrompt(E_FAIL, "x->Y()", "f.cpp", 1);
    _exit(result == E_FAIL ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) GTEST_SKIP() << "tracing is not allowed here";
  ASSERT_TRUE(WIFSTOPPED(status)) << "the child did not stop; exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WSTOPSIG(status), SIGTRAP);
  // Continue without delivering the signal, as a debugger does.
  ASSERT_EQ(ptrace(PTRACE_CONT, child, nullptr, nullptr), 0);
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "after the break the failure goes back to the caller";
}

// Checks around calls into a running package that was told to fail them.
class CheckedPackageCallTest : public AutomationCallChecksTest {
 protected:
  void SetUp() override {
    csv_ = std::filesystem::temp_directory_path() / ("korvana-checks-" + std::to_string(getpid()) + ".csv");
    std::ofstream(csv_) << "v\n1\n";
    package_ = korvana::spss::StatisticsPackage::start(csv_.string());
  }
  void TearDown() override {
    package_->shutdown();
    std::filesystem::remove(csv_);
  }

  std::filesystem::path csv_;
  AutomationPtr<korvana::spss::StatisticsPackage> package_;
};

TEST_F(CheckedPackageCallTest, APlantedFailureReachesTheUserThroughTheCheck) {
  AutomationPtr<Spsswin_tlb::ISpssApp> app;
  ASSERT_EQ(HRCHECK(korvana::spss::attachToApplication("SPSS.Application", app.put())), S_OK);
  AutomationPtr<Spsswin_tlb::ISpssDocuments> documents;
  ASSERT_EQ(HRCHECK(app->get_Documents(documents.put())), S_OK);
  EXPECT_TRUE(boxes_.shown().empty());

  package_->failNextCall("GetDataDoc", DISP_E_BADINDEX);
  boxes_.scriptAnswer(MessageAnswer::no);
  AutomationPtr<Spsswin_tlb::ISpssDataDoc> data;
  EXPECT_EQ(HRCHECK(documents->GetDataDoc(0, data.put())), DISP_E_BADINDEX);
  const int line = __LINE__ - 1;
  EXPECT_FALSE(data) << "the caller goes on with what the failed call left";
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].text, "'documents->GetDataDoc(0, data.put())': Invalid index. @ " +
                                        std::string(__FILE__) + "/" + std::to_string(line) + question);
  boxes_.scriptAnswer(MessageAnswer::no);
  ASSERT_INTF(data);
  EXPECT_EQ(boxes_.shown().size(), 2u) << "the empty reference is reported before it is used";

  package_->failNextCall("GetNumberOfVariables", RPC_E_DISCONNECTED);
  ASSERT_EQ(HRCHECK(documents->GetDataDoc(0, data.put())), S_OK);
  boxes_.scriptAnswer(MessageAnswer::yes);
  std::int32_t count = 0;
  EXPECT_THROW(HRCHECK(data->GetNumberOfVariables(&count)), EAutomationCheckFailed);
  EXPECT_EQ(boxes_.shown().size(), 3u);
  EXPECT_EQ(HRCHECK(data->GetNumberOfVariables(&count)), S_OK) << "only the next call was planted";
  EXPECT_EQ(count, 1);
}

}  // namespace
