// The progress line on the terminal: what is drawn (step name, bar,
// percentage, status, estimate of the time left), when it is drawn and ended,
// that nothing is written when it is not visible, and the cancel flag set
// from outside.
#include "batch/TerminalProgress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace korvana {
namespace {

/// A stream in memory that the progress line is drawn on.
class Screen {
 public:
  Screen() : stream_(open_memstream(&buffer_, &size_)) {}
  ~Screen() {
    std::fclose(stream_);
    std::free(buffer_);
  }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;
  std::FILE* stream() const { return stream_; }
  /// Everything written so far.
  std::string text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* stream_;
};

const std::string bar(int filled) { return "[" + std::string(filled, '#') + std::string(30 - filled, '.') + "]"; }

TEST(TerminalProgress, TheLineShowsTheStepTheBarThePercentageAndTheStatus) {
  std::atomic<bool> canceled{false};
  Screen screen;
  TerminalProgress progress(canceled, true, screen.stream());
  progress.setSteps({"Performing analysis", "Saving permutation fit table", "Generating statistics"});
  progress.setStep(1, 0, 4);
  EXPECT_EQ(progress.line(), "Saving permutation fit table " + bar(0) + "   0%");
  progress.setStatus("Passed permutations 0/4");
  EXPECT_EQ(progress.line(), "Saving permutation fit table " + bar(0) + "   0%  Passed permutations 0/4");
  progress.stepIt();
  EXPECT_EQ(progress.line(), "Saving permutation fit table " + bar(7) + "  25%  Passed permutations 0/4");
  progress.stepIt();
  progress.stepIt();
  progress.stepIt();
  EXPECT_EQ(progress.line(), "Saving permutation fit table " + bar(30) + " 100%  Passed permutations 0/4");
  progress.stepIt();  // the bar stops at its maximum
  EXPECT_EQ(progress.line(), "Saving permutation fit table " + bar(30) + " 100%  Passed permutations 0/4");

  // A new step starts at its minimum without the old status; a range that
  // does not start at 0 counts from its minimum.
  progress.setStep(2, 10, 20);
  EXPECT_EQ(progress.line(), "Generating statistics " + bar(0) + "   0%");
  for (int i = 0; i < 5; ++i) progress.stepIt();
  EXPECT_EQ(progress.line(), "Generating statistics " + bar(15) + "  50%");
  // An empty range and a step without a name.
  progress.setStep(5, 3, 3);
  EXPECT_EQ(progress.line(), " " + bar(0) + "   0%");
  EXPECT_EQ(screen.text(), "") << "nothing is drawn before the progress is shown";
}

TEST(TerminalProgress, ItIsDrawnInPlaceWhileShownAndItsLineIsEndedOnHiding) {
  std::atomic<bool> canceled{false};
  Screen screen;
  TerminalProgress progress(canceled, true, screen.stream());
  progress.setSteps({"Performing analysis", "Generating statistics"});
  progress.setStep(0, 0, 2);
  progress.setStatus("Passed permutations 0/2");
  progress.showProgress();
  const std::string first = "\rPerforming analysis " + bar(0) + "   0%  Passed permutations 0/2\033[K";
  EXPECT_EQ(screen.text(), first);
  // Reaching the end is always drawn, however soon after the last drawing.
  progress.stepIt();
  progress.stepIt();
  const std::string text = screen.text();
  const std::string last = "\rPerforming analysis " + bar(30) + " 100%  Passed permutations 0/2\033[K";
  ASSERT_GE(text.size(), first.size() + last.size());
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  progress.hideProgress();
  EXPECT_EQ(screen.text(), text + "\n");
  // Hidden, it draws nothing, and ending it again adds no empty line.
  progress.setStep(1, 0, 3);
  progress.stepIt();
  progress.hideProgress();
  progress.requestClose();
  EXPECT_EQ(screen.text(), text + "\n");
  // Shown again it draws the new step; closing ends the line once.
  progress.showProgress();
  progress.requestClose();
  progress.requestClose();
  EXPECT_EQ(screen.text(), text + "\n\rGenerating statistics " + bar(10) + "  33%\033[K\n");
}

TEST(TerminalProgress, TheTimeLeftIsEstimatedFromTheStepsPace) {
  std::atomic<bool> canceled{false};
  Screen screen;
  TerminalProgress progress(canceled, true, screen.stream());
  progress.setSteps({"Performing analysis"});
  progress.setStep(0, 0, 4);
  progress.stepIt();
  EXPECT_EQ(progress.line(), "Performing analysis " + bar(7) + "  25%") << "no estimate in the first half second";
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  // A quarter done in 0.7 s or a little more: three quarters take about 2 s.
  const std::string line = progress.line();
  EXPECT_EQ(line.substr(0, line.size() - 17), "Performing analysis " + bar(7) + "  25%") << line;
  EXPECT_TRUE(line.ends_with("  about 0:02 left") || line.ends_with("  about 0:03 left")) << line;
  progress.stepIt();
  progress.stepIt();
  progress.stepIt();
  EXPECT_EQ(progress.line(), "Performing analysis " + bar(30) + " 100%") << "no estimate once done";
}

TEST(TerminalProgress, NothingIsWrittenWhenItIsNotVisible) {
  std::atomic<bool> canceled{false};
  Screen screen;
  TerminalProgress progress(canceled, false, screen.stream());
  progress.setSteps({"Performing analysis", "Generating statistics"});
  progress.setStep(0, 0, 3);
  progress.showProgress();
  progress.setStatus("Passed permutations 1/3");
  progress.stepIt();
  progress.stepIt();
  progress.stepIt();
  progress.hideProgress();
  progress.setStep(1, 0, 1);
  progress.showProgress();
  progress.requestClose();
  EXPECT_EQ(screen.text(), "");
  // The line is still kept, for whoever asks.
  EXPECT_EQ(progress.line(), "Generating statistics " + bar(0) + "   0%");
}

TEST(TerminalProgress, TheCancelFlagIsSetFromOutsideAndStaysSet) {
  std::atomic<bool> canceled{false};
  Screen screen;
  TerminalProgress progress(canceled, false, screen.stream());
  EXPECT_FALSE(progress.isCanceled());
  progress.setStep(0, 0, 10);
  progress.stepIt();
  EXPECT_FALSE(progress.isCanceled());
  canceled.store(true);  // what the Ctrl-C handler does
  EXPECT_TRUE(progress.isCanceled());
  progress.setStep(1, 0, 10);
  progress.hideProgress();
  EXPECT_TRUE(progress.isCanceled()) << "a new step does not reset it";
}

}  // namespace
}  // namespace korvana
