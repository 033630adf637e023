#include "section/camera_info/QUpgradeVC.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include <algorithm>

#include "common/QAlertAction.h"
#include "common/QAlertButton.h"
#include "common/QAlertController.h"
#include "common/QBrowserLink.h"
#include "common/QSheetOverlay.h"
#include "common/UiStyle.h"
#include "net/RNetManager.h"
#include "section/camera_info/UpgradeState.h"

namespace vexhal {

namespace {

using Style = QAlertAction::QAlertActionStyle;

constexpr int textWidth = QUpgradeVC::sheetWidth - 2 * QAlertController::alertPadding;

QAlertButton* makeButton(const QString& title, Style style, QWidget* parent) {
  auto* button = new QAlertButton(title, QAlertAction::look(style), ui::systemFont(12), parent);
  button->setFixedSize(QAlertController::actionWidth, QAlertController::actionHeight);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

// The size text without its unit ("12.5 MB" gives 12.5); 0 when that is not a number.
double packageSizeNumber(const QString& packageSize) {
  if (packageSize.size() < 3) {
    return 0.0;
  }
  bool ok = false;
  const double value = packageSize.left(packageSize.size() - 3).trimmed().toDouble(&ok);
  return ok ? value : 0.0;
}

std::shared_ptr<QAlertAction> action(const QString& title, Style style,
                                     QAlertAction::Handler handler) {
  return std::make_shared<QAlertAction>(title, style, std::nullopt, std::move(handler));
}

}  // namespace

QUpgradeVC::QUpgradeVC(const Platform& platform, QString versionTitle,
                       RVersionUpgradeInfo versionInfo, bool isApp, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      platform_(platform),
      versionInfo_(std::move(versionInfo)),
      versionTitle_(std::move(versionTitle)),
      isApp_(isApp),
      terminator_([] { QApplication::quit(); }),
      titleLabel_(new QLabel(this)),
      detailScroll_(new QScrollArea(this)),
      detailLabel_(new QLabel),
      progressView_(new QWidget(this)),
      progressTrack_(new QWidget(progressView_)),
      progressBar_(new QWidget(progressTrack_)),
      progressLabel_(new QLabel(progressView_)),
      upgradeBtn_(makeButton(QStringLiteral("Update"), Style::blueFilled, this)),
      cancelBtn_(makeButton(QStringLiteral("Cancel"), Style::grayFilled, this)),
      exitBtn_(makeButton(QStringLiteral("Exit"), Style::grayFilled, this)) {
  setObjectName(QStringLiteral("QUpgradeVC"));
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  setStyleSheet(QStringLiteral("QUpgradeVC { border: 1px solid #e0e0e0; }"));

  titleLabel_->setObjectName(QStringLiteral("titleLabel"));
  titleLabel_->setFont(ui::systemFont(16, QFont::DemiBold));
  titleLabel_->setAlignment(Qt::AlignHCenter);
  titleLabel_->setWordWrap(true);
  titleLabel_->setTextFormat(Qt::PlainText);  // the service's version text, shown as it is
  titleLabel_->setFixedWidth(textWidth);
  titleLabel_->setText(versionTitle_ + QStringLiteral(" V") + versionInfo_.version);

  detailLabel_->setObjectName(QStringLiteral("detailLabel"));
  detailLabel_->setFont(ui::systemFont(12));
  detailLabel_->setStyleSheet(QStringLiteral("color: #666666;"));
  detailLabel_->setWordWrap(true);
  detailLabel_->setTextFormat(Qt::PlainText);
  detailLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  detailLabel_->setText(versionInfo_.details);
  // The notes scroll inside the sheet, which keeps to its window (fitToWindow).
  detailScroll_->setObjectName(QStringLiteral("detailScroll"));
  detailScroll_->setFrameShape(QFrame::NoFrame);
  detailScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  detailScroll_->setWidgetResizable(true);
  detailScroll_->setWidget(detailLabel_);
  // The notes show on the sheet's white, which the scroll area would fill over.
  detailLabel_->setAutoFillBackground(false);
  detailScroll_->setStyleSheet(ui::whiteScrollBarStyleSheet());
  detailScroll_->setFixedWidth(textWidth);
  detailScroll_->viewport()->setAutoFillBackground(false);

  progressTrack_->setFixedSize(barWidth, barHeight);
  progressTrack_->setStyleSheet(QStringLiteral("background: #eeeeee; border-radius: 3px;"));
  progressBar_->setStyleSheet(QStringLiteral("background: #3476ff; border-radius: 3px;"));
  progressBar_->setGeometry(0, 0, 0, barHeight);
  progressLabel_->setFont(ui::systemFont(12));
  progressLabel_->setStyleSheet(QStringLiteral("color: #666666;"));
  progressLabel_->setAlignment(Qt::AlignHCenter);
  progressLabel_->setTextFormat(Qt::PlainText);
  progressLabel_->setText(QStringLiteral("0.0MB/") + versionInfo_.packageSize);
  auto* progressLayout = new QVBoxLayout(progressView_);
  progressLayout->setContentsMargins(0, 0, 0, 0);
  progressLayout->setSpacing(8);
  progressLayout->addWidget(progressTrack_, 0, Qt::AlignHCenter);
  progressLayout->addWidget(progressLabel_);
  progressView_->hide();

  exitBtn_->setVisible(versionInfo_.forceStatus && isApp_);
  cancelBtn_->setVisible(!versionInfo_.forceStatus);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(QAlertController::actionSpacing);
  buttons->addStretch(1);
  buttons->addWidget(exitBtn_);
  buttons->addWidget(cancelBtn_);
  buttons->addWidget(upgradeBtn_);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(QAlertController::alertPadding, 24, QAlertController::alertPadding,
                             QAlertController::actionBottomInset);
  layout->setSpacing(14);
  layout->addWidget(titleLabel_);
  layout->addWidget(detailScroll_);
  layout->addWidget(progressView_);
  layout->addLayout(buttons);
  // The sheet follows its content: the detail text and the progress area change its height.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(upgradeBtn_, &QPushButton::clicked, this, &QUpgradeVC::upgradeBtnAction);
  connect(cancelBtn_, &QPushButton::clicked, this, &QUpgradeVC::cancelBtnAction);
  connect(exitBtn_, &QPushButton::clicked, this, &QUpgradeVC::exitBtnAction);
}

void QUpgradeVC::present(QWidget* askingScreen) {
  if (QSheetOverlay* overlay = QSheetOverlay::present(this, askingScreen)) {
    overlay->installEventFilter(this);
    fitToWindow();
    // The keyboard starts on "Cancel" where there is one, so Enter never starts an update.
    if (cancelBtn_->isVisible()) {
      cancelBtn_->setFocus(Qt::OtherFocusReason);
    } else {
      setFocus(Qt::OtherFocusReason);
    }
    return;
  }
  setWindowModality(Qt::ApplicationModal);
  fitToWindow();
  show();
  raise();
  activateWindow();
}

// The notes get the height the rest of the sheet leaves inside its window, and scroll when
// they need more.
void QUpgradeVC::fitToWindow() {
  const int notesHeight = detailLabel_->heightForWidth(textWidth);
  int height = notesHeight;
  if (QWidget* window = parentWidget()) {
    detailScroll_->setFixedHeight(0);
    const int rest = layout()->totalSizeHint().height();
    height = std::min(notesHeight, window->height() - 2 * windowMargin - rest);
    height = std::max(height, detailLabel_->fontMetrics().lineSpacing());
  }
  detailScroll_->setFixedHeight(height);
  adjustSize();
}

bool QUpgradeVC::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) {
    fitToWindow();
  }
  return QDialog::eventFilter(watched, event);
}

void QUpgradeVC::closeSheet() {
  if (closed_) {
    return;
  }
  closed_ = true;
  if (alert_) {
    alert_->dismissController();
  }
  hide();
  deleteLater();
}

// Escape is the cancel button, where there is one.
void QUpgradeVC::reject() {
  if (!cancelBtn_->isHidden()) {
    cancelBtnAction();
  }
}

void QUpgradeVC::upgradeBtnAction() {
  if (closed_) {
    return;
  }
  if (isApp_) {
    if (QBrowserLink::open(QUrl(versionInfo_.downLoadUrl), platform_.browserOpener()) &&
        !versionInfo_.forceStatus) {
      closeSheet();
    }
    return;
  }
  // A partial file of an earlier attempt must not be taken for the package.
  QFile::remove(firmwarePackagePath());
  QLog("Upgrade, download, " + versionInfo_.downLoadUrl.toStdString());
  detailLabel_->setText(QStringLiteral(
      "Installation package downloading… Do not power the device off or shut it down. The "
      "software will be installed automatically after downloaded."));
  setProgress(0);
  fitToWindow();
  RNetManager::share().download(
      versionInfo_.downLoadUrl, firmwarePackagePath(),
      [self = QPointer(this)](int percent) {
        if (self) {
          self->setProgress(percent);
        }
      },
      [self = QPointer(this)](const RNetResponse& response) {
        if (self) {
          self->downloadCompleted(response);
        }
      });
}

void QUpgradeVC::setProgress(int percent) {
  upgradeBtn_->hide();
  progressView_->show();
  const double fraction = percent / 100.0;
  const double size = packageSizeNumber(versionInfo_.packageSize);
  progressLabel_->setText(QString::asprintf("%.1f/", size * fraction) + versionInfo_.packageSize);
  const int width =
      static_cast<int>(std::min<double>(barWidth, std::max(0.0, fraction * barWidth)));
  progressBar_->setFixedSize(width, barHeight);
}

void QUpgradeVC::downloadCompleted(const RNetResponse& response) {
  QLog("Upgrade, download, " + std::to_string(response.code));
  if (response.ok()) {
    if (completedBlock_) {
      completedBlock_(response);
    }
    closeSheet();
    return;
  }
  showDownloadFailure(response);
}

void QUpgradeVC::showDownloadFailure(const RNetResponse& response) {
  auto* alert =
      new QAlertController(std::nullopt, QStringLiteral("Downloading failed. Please try again."));
  if (!versionInfo_.forceStatus) {
    alert->addAction(action(QStringLiteral("Try again later"), Style::grayFilled,
                            [self = QPointer(this), response](QAlertAction&) {
                              if (!self) {
                                return;
                              }
                              if (self->completedBlock_) {
                                self->completedBlock_(response);
                              }
                              self->closeSheet();
                            }),
                     true);
  }
  alert->addAction(action(QStringLiteral("Try again"), Style::blueFilled,
                          [self = QPointer(this)](QAlertAction&) {
                            if (self) {
                              self->upgradeBtnAction();
                            }
                          }),
                   true);
  alert_ = alert;
  alert->present(this);
}

void QUpgradeVC::cancelBtnAction() { closeSheet(); }

void QUpgradeVC::exitBtnAction() {
  auto* alert = new QAlertController(
      std::nullopt,
      QStringLiteral("Stopping the update will exit the app, do you confirm the exit?"));
  alert->addAction(action(QStringLiteral("Cancel"), Style::grayFilled, nullptr), true);
  alert->addAction(action(QStringLiteral("Confirm"), Style::blueFilled,
                          [self = QPointer(this)](QAlertAction&) {
                            if (!self) {
                              return;
                            }
                            const std::function<void()> terminate = self->terminator_;
                            self->closeSheet();
                            if (terminate) {
                              terminate();
                            }
                          }),
                   true);
  alert_ = alert;
  alert->present(this);
}

}  // namespace vexhal
