#include "section/camera_info/QCameraInfoVC.h"

#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include "common/QAlertAction.h"
#include "common/QAlertButton.h"
#include "common/QAlertController.h"
#include "common/QFillParent.h"
#include "common/QNavigationController.h"
#include "common/QScreenHeader.h"
#include "common/UiStyle.h"
#include "extension/QHudOverlay.h"
#include "net/RNetManager.h"
#include "section/QHidDelegateLink.h"
#include "section/camera_info/QUpgradeLoadingView.h"
#include "section/camera_info/QUpgradeVC.h"
#include "section/camera_info/UpgradeState.h"

namespace vexhal {

namespace {

using Style = QAlertAction::QAlertActionStyle;

const QString kUpdateFailed = QStringLiteral("Updating failed. Please try again.");
const QString kVersionUnknown = QStringLiteral(
    "The camera's firmware version could not be read, so the update was not installed. "
    "Reconnect the camera and check for updates again.");

// A reply value as the log shows it: Optional("text"), or nil.
std::string debugForm(const std::optional<std::string>& value) {
  return value ? "Optional(\"" + *value + "\")" : std::string("nil");
}

std::string flag(bool value) { return value ? "true" : "false"; }

// The camera sends fixed-width texts padded with zero bytes; the labels show the text alone.
QString displayText(const std::string& value) {
  QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
  while (text.endsWith(QChar(u'\0'))) {
    text.chop(1);
  }
  return text;
}

QLabel* valueLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(QStringLiteral("--"), parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(ui::systemFont(14));
  label->setTextFormat(Qt::PlainText);  // the camera's texts, shown as they are
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

QCameraInfoVC::QCameraInfoVC(const std::shared_ptr<USBDevice>& device, Platform& platform,
                             USBHidManager& manager, QWidget* parent)
    : QViewController("QCameraInfoVC", parent),
      device_(device),
      platform_(platform),
      manager_(manager),
      delegateLink_(std::make_shared<QHidDelegateLink<QCameraInfoVC>>(this)),
      nameLabel_(valueLabel(this, "nameLabel")),
      serialLabel_(valueLabel(this, "serialLabel")),
      versionLabel_(valueLabel(this, "versionLabel")),
      checkVersionBtn_(new QAlertButton(QStringLiteral("Check for Updates"),
                                        QAlertAction::look(Style::blueFilled), std::nullopt,
                                        this)) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  auto* form = new QFormLayout;
  form->setHorizontalSpacing(32);
  form->setVerticalSpacing(18);
  form->setLabelAlignment(Qt::AlignLeft);
  for (auto [caption, label] :
       {std::pair{"Device name", nameLabel_}, std::pair{"Serial number", serialLabel_},
        std::pair{"Firmware version", versionLabel_}}) {
    auto* captionLabel = new QLabel(QLatin1String(caption), this);
    captionLabel->setFont(ui::systemFont(14));
    captionLabel->setStyleSheet(QStringLiteral("color: #666666;"));
    form->addRow(captionLabel, label);
  }

  checkVersionBtn_->setObjectName(QStringLiteral("checkVersionBtn"));
  checkVersionBtn_->setFont(ui::systemFont(14, QFont::Medium));
  checkVersionBtn_->setFixedSize(180, 40);
  checkVersionBtn_->setCursor(Qt::PointingHandCursor);
  // Built without update checks, the program leaves firmware to the distribution's packages.
  checkVersionBtn_->setVisible(VEXHAL_UPDATE_CHECKS != 0);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 32);
  layout->setSpacing(0);
  layout->addWidget(new QScreenHeader(
      QStringLiteral("Device Info"), [this] { backBtnAction(); }, this));
  layout->addSpacing(40);
  auto* centred = new QHBoxLayout;
  centred->addStretch(1);
  centred->addLayout(form);
  centred->addStretch(1);
  layout->addLayout(centred);
  layout->addSpacing(48);
  layout->addWidget(checkVersionBtn_, 0, Qt::AlignHCenter);
  layout->addStretch(1);

  connect(checkVersionBtn_, &QPushButton::clicked, this, &QCameraInfoVC::checkVersionBtnAction);

  manager_.addDelegate(delegateLink_);
  refreshInfo();
}

QCameraInfoVC::~QCameraInfoVC() {
  manager_.removeDelegate(delegateLink_);
  stopTimer();
  removeLoadingView();
  // An installation this screen started cannot be finished by anyone else; leaving the flag
  // set would keep the other screens from ever closing on a removal.
  if (installing_) {
    platform_.setFirmwareInstalling(false);
  }
  if (updateVC_) {
    updateVC_->closeSheet();
  }
}

void QCameraInfoVC::refreshInfo() {
  nameLabel_->setText(QString::fromStdString(device_->name()));
  QLog("CameraInfo, getSerialNumber");
  device_->getSerialNumber(
      [self = QPointer(this)](std::int64_t code, const std::optional<std::string>& value) {
        QLog("CameraInfo, getSerialNumber, " + std::to_string(code) + ", " + debugForm(value));
        if (self && code == 0 && value) {
          self->serialLabel_->setText(displayText(*value));
        }
      });
  QLog("CameraInfo, getVersion");
  device_->getVersion(
      [self = QPointer(this)](std::int64_t code, const std::optional<std::string>& value) {
        QLog("CameraInfo, getVersion, " + std::to_string(code) + ", " + debugForm(value));
        if (self && code == 0 && value) {
          self->showVersion(displayText(*value));
        }
      });
}

void QCameraInfoVC::showVersion(const QString& version) {
  lastVersion_ = version;
  versionLabel_->setText(version);
}

void QCameraInfoVC::checkVersionBtnAction() {
  if (VEXHAL_UPDATE_CHECKS == 0) {
    return;
  }
  QLog("CameraInfo, needVersionUpgrade");
  busy_.show(this);
  device_->getVersion(
      [self = QPointer(this)](std::int64_t code, const std::optional<std::string>& value) {
        QLog("CameraInfo, needVersionUpgrade, getVersion, " + std::to_string(code) + ", " +
             debugForm(value));
        if (!self) {
          return;
        }
        // The installation's success test needs the version it starts from; the read made
        // when the screen opened may have failed.
        if (code == 0 && value) {
          self->showVersion(displayText(*value));
        }
        self->needVersionUpgradeRequest();
      });
}

void QCameraInfoVC::needVersionUpgradeRequest() {
  const QString model = QString::fromStdString(device_->modelName());
  const QString version = device_->version() ? displayText(*device_->version()) : QString();
  RNetManager::share().needVersionUpgrade(
      model, version,
      [self = QPointer(this)](const RNetResponse& response,
                              const std::optional<RVersionUpgradeInfo>& answer) {
        if (!self) {
          return;
        }
        self->busy_.done();
        QLog("CameraInfo, needVersionUpgrade, " + std::to_string(response.code));
        if (!response.ok()) {
          self->showToast(response.message);
          return;
        }
        if (!answer) {
          return;
        }
        QLog("CameraInfo, needVersionUpgrade, " + flag(answer->needUpgrade) + ", " +
             flag(answer->forceStatus) + ", " + answer->version.toStdString() + ", " +
             answer->downLoadUrl.toStdString() + ")");
        self->versionInfo_ = answer;
        if (!answer->needUpgrade) {
          self->showToast(QStringLiteral("Software is up to date"));
          return;
        }
        if (self->updateVC_) {
          self->updateVC_->closeSheet();
        }
        auto* sheet = new QUpgradeVC(self->platform_, QString::fromStdString(self->device_->name()),
                                     *answer, false);
        sheet->setCompletedBlock([screen = self](const RNetResponse& result) {
          if (screen && result.ok()) {
            screen->showInstallHud();
          }
        });
        self->updateVC_ = sheet;
        sheet->present(self);
      });
}

void QCameraInfoVC::showInstallHud() {
  if (platform_.firmwareInstalling()) {
    return;
  }
  if (lastVersion_.isEmpty()) {
    // Without the version the camera starts from, a restart could not tell an installed
    // update from a failed one.
    QLog("CameraInfo, startUpgrade, refused: the current firmware version is unknown");
    showToast(kVersionUnknown);
    return;
  }
  startTimer();
  platform_.setFirmwareInstalling(true);
  installing_ = true;
  transferAccepted_ = false;
  if (!device_->isOpen()) {
    // The camera left and has not come back: there is nothing to send the package to.
    QLog("CameraInfo, startUpgrade, the camera is not connected");
    upgradeFailed();
    return;
  }
  QFile file(firmwarePackagePath());
  QByteArray image;
  if (file.open(QIODevice::ReadOnly)) {
    image = file.readAll();
  }
  if (image.isEmpty()) {
    // Nothing to send: a missing, unreadable or empty package fails at once.
    QLog("CameraInfo, startUpgrade, no package at " + firmwarePackagePath().toStdString() + ", " +
         file.errorString().toStdString());
    upgradeFailed();
    return;
  }
  QLog("CameraInfo, startUpgrade");
  device_->startUpgrade(image, [self = QPointer(this)](std::int64_t code) {
    QLog("CameraInfo, startUpgrade, " + std::to_string(code));
    if (self && code != 0) {
      self->upgradeFailed();
    } else if (self) {
      self->transferAccepted_ = true;
    }
  });
  if (!loadingView_) {
    loadingView_ = new QUpgradeLoadingView;
  }
  // The whole window, toolbar included, is blocked and dimmed.
  loadingView_->setParent(window());
  QFillParent::attach(loadingView_);
  loadingView_->keepClearOf(checkVersionBtn_->isVisible() ? static_cast<QWidget*>(checkVersionBtn_)
                                                          : versionLabel_);
  loadingView_->show();
  loadingView_->raise();
  loadingView_->startLoading();
}

void QCameraInfoVC::startTimer() {
  stopTimer();
  QLog("CameraInfo, startTimer(), 开始安装计时");
  totalTime_ = 0;
  auto* timer = new QTimer(this);
  timer->setInterval(tickInterval_);
  connect(timer, &QTimer::timeout, this, &QCameraInfoVC::tick);
  timer->start();
  timer_ = timer;
}

void QCameraInfoVC::setTickInterval(std::chrono::milliseconds interval) {
  tickInterval_ = interval;
  if (timer_) {
    timer_->setInterval(interval);
  }
}

void QCameraInfoVC::tick() {
  totalTime_ += tickSeconds;
  if (!platform_.firmwareInstalling() || totalTime_ < timeoutSeconds) {
    return;
  }
  platform_.setFirmwareInstalling(false);
  installing_ = false;
  stopTimer();
  removeLoadingView();
  QWidget* top = window();
  popToRoot();
  QHudOverlay::showToast(top, kUpdateFailed, platform_.scheduler(), 2.0);
  QLog("CameraInfo, startTimer(), 超时未检测到设备插入");
}

void QCameraInfoVC::stopTimer() {
  if (timer_) {
    timer_->stop();
    timer_->deleteLater();
  }
  timer_ = nullptr;
}

void QCameraInfoVC::removeLoadingView() {
  if (loadingView_) {
    loadingView_->stopLoading();
    loadingView_->hide();
    loadingView_->deleteLater();
    loadingView_ = nullptr;
  }
}

void QCameraInfoVC::usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device) {
  // Only the camera coming back from an installation, or from a transfer it broke off, is of
  // interest here; a camera plugged in at any other time is not an update to verify.
  if (!isTopScreen() || (!installing_ && !cameraAway_)) {
    return;
  }
  platform_.scheduler()(
      this, reattachDelayMs, [self = QPointer(this), weak = std::weak_ptr(device)] {
        std::shared_ptr<USBDevice> camera = weak.lock();
        if (!self || !camera) {
          return;
        }
        camera->getSerialNumber(
            [self, weak](std::int64_t code, const std::optional<std::string>& value) {
              QLog("CameraInfo, usbHidManager(_:didAttach:), getSerialNumber, " +
                   std::to_string(code) + ", " + debugForm(value));
              std::shared_ptr<USBDevice> returned = weak.lock();
              if (!self || !returned || code != 0 || !value ||
                  returned->serialNumber() != self->device_->serialNumber()) {
                return;
              }
              if (self->installing_) {
                self->reattached(returned);
              } else if (self->cameraAway_) {
                // Back after a broken transfer: "Retry" sends the package to it.
                self->device_ = returned;
                self->cameraAway_ = false;
              }
            });
      });
}

void QCameraInfoVC::reattached(const std::shared_ptr<USBDevice>& device) {
  device_ = device;
  platform_.setFirmwareInstalling(false);
  installing_ = false;
  stopTimer();
  platform_.scheduler()(this, verifyDelayMs, [self = QPointer(this)] {
    if (self) {
      self->removeLoadingView();
      self->checkDeviceState();
    }
  });
}

void QCameraInfoVC::upgradeFailed() {
  platform_.setFirmwareInstalling(false);
  installing_ = false;
  stopTimer();
  removeLoadingView();
  if (failureAlert_) {
    failureAlert_->dismissController();
  }
  auto* alert = new QAlertController(std::nullopt, kUpdateFailed);
  if (versionInfo_ && !versionInfo_->forceStatus) {
    alert->addAction(
        std::make_shared<QAlertAction>(QStringLiteral("Later"), Style::grayFilled, std::nullopt,
                                       [self = QPointer(this)](QAlertAction&) {
                                         if (self) {
                                           self->popToRoot();
                                         }
                                       }),
        true);
  }
  alert->addAction(
      std::make_shared<QAlertAction>(QStringLiteral("Retry"), Style::blueFilled, std::nullopt,
                                     [self = QPointer(this)](QAlertAction&) {
                                       if (self) {
                                         self->showInstallHud();
                                       }
                                     }),
      true);
  failureAlert_ = alert;
  alert->present(this);
}

void QCameraInfoVC::checkDeviceState() {
  QLog("CameraInfo, getState");
  device_->getState([self = QPointer(this)](std::int64_t code, std::int64_t state) {
    QLog("CameraInfo, getState, " + std::to_string(code) + ", " + std::to_string(state));
    if (!self) {
      return;
    }
    if (code == 0 && state == 1) {
      self->checkDeviceVersion();
    } else {
      self->upgradeFailed();
    }
  });
}

void QCameraInfoVC::checkDeviceVersion() {
  QLog("CameraInfo, getVersion");
  device_->getVersion(
      [self = QPointer(this)](std::int64_t code, const std::optional<std::string>& value) {
        QLog("CameraInfo, getVersion, " + std::to_string(code) + ", " + debugForm(value));
        if (!self) {
          return;
        }
        if (code == 0 && value && displayText(*value) != self->lastVersion_) {
          QWidget* top = self->window();
          self->popToRoot();
          QHudOverlay::showToast(top, QStringLiteral("Update Complete"),
                                 self->platform_.scheduler(), 2.0);
        } else {
          self->upgradeFailed();
        }
      });
}

void QCameraInfoVC::usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device) {
  if (device->locationID() != device_->locationID()) {
    return;
  }
  if (installing_ && !transferAccepted_) {
    // Gone before it took the whole image: no restart will bring a new version, so the
    // installation has failed now rather than when the watchdog gives up.
    QLog("CameraInfo, usbHidManager(_:didRemove:), the camera left during the transfer");
    cameraAway_ = true;
    upgradeFailed();
    return;
  }
  if (platform_.firmwareInstalling() || !isTopScreen()) {
    return;
  }
  if (updateVC_) {
    updateVC_->closeSheet();
  }
  if (failureAlert_) {
    failureAlert_->dismissController();
  }
  popToRoot();
}

void QCameraInfoVC::backBtnAction() {
  if (QNavigationController* nav = navigationController()) {
    nav->pop(false);
  }
}

bool QCameraInfoVC::isTopScreen() const {
  const QNavigationController* nav = navigationController();
  return nav != nullptr && nav->topViewController() == this;
}

void QCameraInfoVC::popToRoot() {
  if (QNavigationController* nav = navigationController()) {
    nav->popToRoot(false);
  }
}

void QCameraInfoVC::showToast(const QString& text) {
  QHudOverlay::showToast(window(), text, platform_.scheduler(), 2.0);
}

}  // namespace vexhal
