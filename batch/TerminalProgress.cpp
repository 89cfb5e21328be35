#include "batch/TerminalProgress.h"

#include <algorithm>
#include <cmath>

namespace korvana {

namespace {

constexpr int kBarWidth = 30;

std::string durationText(double seconds) {
  const long total = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

}  // namespace

TerminalProgress::TerminalProgress(std::atomic<bool>& canceled, bool visible, std::FILE* stream)
    : canceled_(canceled), visible_(visible), stream_(stream) {}

void TerminalProgress::setSteps(const std::vector<std::string>& names) { steps_ = names; }

void TerminalProgress::setStep(int index, int minimum, int maximum) {
  step_ = index;
  minimum_ = minimum;
  maximum_ = maximum;
  position_ = minimum;
  status_.clear();
  stepStart_ = std::chrono::steady_clock::now();
  draw(true);
}

void TerminalProgress::setStatus(const std::string& text) {
  status_ = text;
  draw(false);
}

void TerminalProgress::stepIt() {
  if (position_ < maximum_) ++position_;
  draw(position_ == maximum_);
}

bool TerminalProgress::isCanceled() { return canceled_.load(); }

void TerminalProgress::showProgress() {
  shown_ = true;
  draw(true);
}

void TerminalProgress::hideProgress() {
  if (shown_ && drawn_ && visible_) std::fputc('\n', stream_);
  shown_ = false;
  drawn_ = false;
}

void TerminalProgress::requestClose() { hideProgress(); }

std::string TerminalProgress::line() const {
  std::string text;
  if (step_ >= 0 && static_cast<std::size_t>(step_) < steps_.size()) text = steps_[static_cast<std::size_t>(step_)];
  const int range = maximum_ - minimum_;
  const double fraction = range > 0 ? static_cast<double>(position_ - minimum_) / range : 0.0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  text += " [" + std::string(static_cast<std::size_t>(filled), '#') +
          std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] ";
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
  text += percent;
  if (!status_.empty()) text += "  " + status_;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - stepStart_).count();
  if (fraction > 0.0 && fraction < 1.0 && elapsed > 0.5)
    text += "  about " + durationText(elapsed * (1.0 - fraction) / fraction) + " left";
  return text;
}

void TerminalProgress::draw(bool force) {
  if (!visible_ || !shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  // \r and clearing to the end of the line redraw it in place.
  std::fprintf(stream_, "\r%s\033[K", line().c_str());
  std::fflush(stream_);
  drawn_ = true;
}

}  // namespace korvana
