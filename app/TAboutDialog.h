// The about box: product name and version, build, legal notice and the web
// address, which opens in the desktop's browser when clicked.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace korvana::app {

class TAboutDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutDialog(QWidget* owner = nullptr);

  void websiteLabelClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* titleLabel_;
  QLabel* versionLabel_;
  QLabel* versionValueLabel_;
  QLabel* copyrightLabel_;
  QFrame* bevel1_;
  QLabel* websiteLabel_;
  QPushButton* okButton_;
};

}  // namespace korvana::app
