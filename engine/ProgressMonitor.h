// The progress operations that a running analysis drives: named steps, a bar,
// a status line and a cancellation flag. The desktop program implements them
// with its progress window, the batch front end on the terminal.
//
// Every operation except isCanceled may process pending user-interface events,
// which is how a Cancel request reaches a run that executes on the same thread.
#pragma once

#include <string>
#include <vector>

namespace korvana {

class ProgressMonitor {
 public:
  virtual ~ProgressMonitor() = default;

  /// Names the steps of the run (only the first three are shown).
  virtual void setSteps(const std::vector<std::string>& names) = 0;
  /// Enters step `index` (from 0) with a bar running from `minimum` to `maximum`;
  /// the bar is set to the minimum.
  virtual void setStep(int index, int minimum, int maximum) = 0;
  /// Shows a status text (for example "Passed permutations 3/100").
  virtual void setStatus(const std::string& text) = 0;
  /// Advances the bar by one.
  virtual void stepIt() = 0;
  /// True once the user asked to cancel; never reset.
  virtual bool isCanceled() = 0;
  virtual void showProgress() = 0;
  virtual void hideProgress() = 0;

  // The run's other dealings with the user interface; nothing by default.
  /// Shows the busy cursor until restoreCursor (the desktop program).
  virtual void showBusyCursor() {}
  virtual void restoreCursor() {}
  /// Lets pending user-interface events run.
  virtual void processMessages() {}
  /// Asks the progress display to close at the end of a run. The desktop's
  /// progress window refuses, as it refuses every close request; a terminal
  /// display ends its line.
  virtual void requestClose() {}
};

/// A monitor that shows nothing and is never canceled: for callers with no
/// user interface (tests, benchmarks, the demo).
class SilentProgress final : public ProgressMonitor {
 public:
  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string&) override {}
  void stepIt() override {}
  bool isCanceled() override { return false; }
  void showProgress() override {}
  void hideProgress() override {}
};

}  // namespace korvana
