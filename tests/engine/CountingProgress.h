// A progress display for tests: counts the finished steps, keeps the status
// texts, and cancels once a given number of steps have passed.
#pragma once

#include <string>
#include <vector>

#include "engine/ProgressMonitor.h"

namespace korvana::test {

class CountingProgress : public ProgressMonitor {
 public:
  /// Never cancels when `cancelAfter` is negative.
  explicit CountingProgress(int cancelAfter = -1) : cancelAfter_(cancelAfter) {}
  void setSteps(const std::vector<std::string>&) override {}
  void setStep(int, int, int) override {}
  void setStatus(const std::string& text) override { statuses.push_back(text); }
  void stepIt() override { ++steps; }
  bool isCanceled() override { return cancelAfter_ >= 0 && steps >= cancelAfter_; }
  void showProgress() override {}
  void hideProgress() override {}

  std::vector<std::string> statuses;
  int steps = 0;

 private:
  int cancelAfter_;
};

}  // namespace korvana::test
