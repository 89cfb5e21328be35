#include "app/TAboutDialog.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "output/Version.h"

namespace korvana::app {

TAboutDialog::TAboutDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("AboutDialog");
  setWindowTitle("About Korvana");
  setModal(true);

  titleLabel_ = new QLabel(QString("Korvana ") + QString::fromStdString(Version::getVersionText()), this);
  titleLabel_->setObjectName("titleLabel");
  QFont titleFont = titleLabel_->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
  titleLabel_->setFont(titleFont);

  versionLabel_ = new QLabel("Version", this);
  versionLabel_->setObjectName("versionLabel");
  versionValueLabel_ = new QLabel(QString("%1.%2 (Build %3)")
                                      .arg(Version::getVersionMajor())
                                      .arg(Version::getVersionMinor())
                                      .arg(Version::getVersionBuild()),
                                  this);
  versionValueLabel_->setObjectName("versionValueLabel");
  copyrightLabel_ = new QLabel(QString::fromStdString(Version::getLegalNotice()), this);
  copyrightLabel_->setObjectName("copyrightLabel");
  bevel1_ = new QFrame(this);
  bevel1_->setObjectName("Bevel1");
  bevel1_->setFrameShape(QFrame::HLine);
  bevel1_->setFrameShadow(QFrame::Sunken);
  websiteLabel_ = new QLabel(QString::fromStdString(Version::getWebsiteAddress()), this);
  websiteLabel_->setObjectName("websiteLabel");
  QFont linkFont = websiteLabel_->font();
  linkFont.setUnderline(true);
  websiteLabel_->setFont(linkFont);
  QPalette linkPalette = websiteLabel_->palette();
  linkPalette.setColor(QPalette::WindowText, Qt::blue);
  websiteLabel_->setPalette(linkPalette);
  websiteLabel_->setCursor(Qt::PointingHandCursor);
  websiteLabel_->installEventFilter(this);
  okButton_ = new QPushButton("OK", this);
  okButton_->setObjectName("okButton");
  okButton_->setDefault(true);
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 20, 14);
  layout->addWidget(titleLabel_);
  layout->addSpacing(6);
  auto* details = new QGridLayout;
  details->setHorizontalSpacing(12);
  details->addWidget(versionLabel_, 0, 0);
  details->addWidget(versionValueLabel_, 0, 1);
  details->setColumnStretch(1, 1);
  layout->addLayout(details);
  layout->addWidget(copyrightLabel_);
  layout->addSpacing(4);
  layout->addWidget(bevel1_);
  layout->addWidget(websiteLabel_);
  layout->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  layout->addLayout(buttons);

  const QSize hint = sizeHint();
  setFixedSize(std::max(hint.width(), 346), std::max(hint.height(), 197));
}

void TAboutDialog::websiteLabelClick() {
  // Whatever the desktop makes of the address, nothing is reported.
  QDesktopServices::openUrl(QUrl(QString::fromStdString(Version::getWebsiteAddress()), QUrl::TolerantMode));
}

bool TAboutDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == websiteLabel_ && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    websiteLabelClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
    move(owner->frameGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }
}

}  // namespace korvana::app
