// The progress window shown while an analysis runs: the steps of the run, a
// bar, a status line and a Cancel button. The run drives it through the
// progress operations on the one GUI thread; every operation but isCanceled
// lets pending events run before it returns, so the window stays painted and
// a click on Cancel is registered while the run goes on.
//
// The window cannot be closed: its close box, Escape and close requests from
// the program are refused; it goes away only when it is hidden.
#pragma once

#include <QDialog>
#include <array>

#include "engine/ProgressMonitor.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace korvana::app {

class TProgressDialog final : public QDialog, public ProgressMonitor {
  Q_OBJECT

 public:
  /// owner: the main dialog.
  explicit TProgressDialog(QWidget* owner = nullptr);
  ~TProgressDialog() override;

  /// The program's one progress window (null while none exists).
  static TProgressDialog* instance();

  void setSteps(const std::vector<std::string>& names) override;
  void setStep(int index, int minimum, int maximum) override;
  void setStatus(const std::string& text) override;
  void stepIt() override;
  bool isCanceled() override { return canceled_; }
  void showProgress() override;
  void hideProgress() override;
  void showBusyCursor() override;
  void restoreCursor() override;
  void processMessages() override;
  void requestClose() override;

  void cancelButtonClick();
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* pleaseWaitLabel_;
  QLabel* statusLabel1_;
  QLabel* statusLabel2_;
  QLabel* statusLabel3_;
  QLabel* progressLabel_;
  QProgressBar* progressBar_;
  QPushButton* cancelButton_;
  std::array<QLabel*, 3> stepLabels_;
  bool canceled_ = false;
  int busyCursors_ = 0;
};

}  // namespace korvana::app
