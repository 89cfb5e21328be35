// The progress of a run on a terminal: the step's name, a bar, the status line
// and an estimate of the time left, redrawn in place on standard error. The
// cancellation flag is set from outside (the Ctrl-C handler), as the desktop
// program's Cancel button sets it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/ProgressMonitor.h"

namespace korvana {

class TerminalProgress final : public ProgressMonitor {
 public:
  /// visible: draw on `stream` (a terminal); otherwise only the flag works.
  TerminalProgress(std::atomic<bool>& canceled, bool visible, std::FILE* stream = stderr);

  void setSteps(const std::vector<std::string>& names) override;
  void setStep(int index, int minimum, int maximum) override;
  void setStatus(const std::string& text) override;
  void stepIt() override;
  bool isCanceled() override;
  void showProgress() override;
  void hideProgress() override;
  void requestClose() override;

  /// The line as it is drawn, without the carriage return (for tests).
  std::string line() const;

 private:
  void draw(bool force);

  std::atomic<bool>& canceled_;
  bool visible_;
  std::FILE* stream_;
  std::vector<std::string> steps_;
  int step_ = -1;
  int minimum_ = 0;
  int maximum_ = 0;
  int position_ = 0;
  std::string status_;
  bool shown_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point stepStart_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace korvana
