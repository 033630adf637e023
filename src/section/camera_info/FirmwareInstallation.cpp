#include "section/camera_info/FirmwareInstallation.h"

#include <QFile>

#include <ostrane/ostrane.h>

#include "section/camera_info/UpgradeState.h"

namespace vexhal {

namespace {

// A reply value as the log shows it: Optional("text"), or nil.
std::string debugForm(const std::optional<std::string>& value) {
  return value ? "Optional(\"" + *value + "\")" : std::string("nil");
}

// The camera sends fixed-width texts padded with zero bytes; the model keeps the text alone.
QString displayText(const std::string& value) {
  QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
  while (text.endsWith(QChar(u'\0'))) {
    text.chop(1);
  }
  return text;
}

}  // namespace

FirmwareInstallation::FirmwareInstallation(std::shared_ptr<USBDevice> device, Platform& platform,
                                           QObject* parent)
    : QObject(parent), device_(std::move(device)), platform_(platform) {}

FirmwareInstallation::~FirmwareInstallation() {
  stopWatchdog();
  // An installation this model started cannot be finished by anyone else; leaving the flag
  // set would keep the other screens from ever closing on a removal.
  if (installing_) {
    platform_.setFirmwareInstalling(false);
  }
}

QString FirmwareInstallation::reportedVersion() const {
  return device_->version() ? displayText(*device_->version()) : QString();
}

void FirmwareInstallation::readInfo() {
  QLog("CameraInfo, getSerialNumber");
  device_->getSerialNumber(
      [self = QPointer(this)](std::int64_t code, const std::optional<std::string>& value) {
        QLog("CameraInfo, getSerialNumber, " + std::to_string(code) + ", " + debugForm(value));
        if (self && code == 0 && value) {
          Q_EMIT self->serialNumberRead(displayText(*value));
        }
      });
  QLog("CameraInfo, getVersion");
  device_->getVersion(
      [self = QPointer(this)](std::int64_t code, const std::optional<std::string>& value) {
        QLog("CameraInfo, getVersion, " + std::to_string(code) + ", " + debugForm(value));
        if (self && code == 0 && value) {
          self->currentVersion_ = displayText(*value);
          Q_EMIT self->versionRead(self->currentVersion_);
        }
      });
}

void FirmwareInstallation::rereadVersion(std::function<void()> done) {
  device_->getVersion([self = QPointer(this), done = std::move(done)](
                          std::int64_t code, const std::optional<std::string>& value) {
    QLog("CameraInfo, needVersionUpgrade, getVersion, " + std::to_string(code) + ", " +
         debugForm(value));
    if (!self) {
      return;
    }
    // The installation's success test needs the version it starts from; the read made
    // when the screen opened may have failed.
    if (code == 0 && value) {
      self->currentVersion_ = displayText(*value);
      Q_EMIT self->versionRead(self->currentVersion_);
    }
    if (done) {
      done();
    }
  });
}

void FirmwareInstallation::setFlag(bool installing) {
  platform_.setFirmwareInstalling(installing);
  installing_ = installing;
}

void FirmwareInstallation::install() { install(firmwarePackagePath(), {}); }

void FirmwareInstallation::install(const QString& packagePath,
                                   std::function<void(int percent)> progress) {
  if (platform_.firmwareInstalling()) {
    return;
  }
  if (currentVersion_.isEmpty()) {
    // Without the version the camera starts from, a restart could not tell an installed
    // update from a failed one.
    QLog("CameraInfo, startUpgrade, refused: the current firmware version is unknown");
    Q_EMIT refusedForUnknownVersion();
    return;
  }
  startWatchdog();
  setFlag(true);
  transferAccepted_ = false;
  if (!device_->isOpen()) {
    // The camera left and has not come back: there is nothing to send the package to.
    QLog("CameraInfo, startUpgrade, the camera is not connected");
    fail();
    return;
  }
  QFile file(packagePath);
  QByteArray image;
  if (file.open(QIODevice::ReadOnly)) {
    image = file.readAll();
  }
  if (image.isEmpty()) {
    // Nothing to send: a missing, unreadable or empty package fails at once.
    QLog("CameraInfo, startUpgrade, no package at " + packagePath.toStdString() + ", " +
         file.errorString().toStdString());
    fail();
    return;
  }
  QLog("CameraInfo, startUpgrade");
  device_->startUpgrade(
      image,
      [self = QPointer(this)](std::int64_t code) {
        QLog("CameraInfo, startUpgrade, " + std::to_string(code));
        if (!self) {
          return;
        }
        self->transferAccepted_ = code == 0;
        Q_EMIT self->transferEnded(code);
        if (code != 0) {
          self->fail();
        }
      },
      std::move(progress));
  Q_EMIT transferStarted();
}

void FirmwareInstallation::startWatchdog() {
  stopWatchdog();
  QLog("CameraInfo, startTimer(), 开始安装计时");
  totalTime_ = 0;
  auto* timer = new QTimer(this);
  timer->setInterval(tickInterval_);
  connect(timer, &QTimer::timeout, this, &FirmwareInstallation::tick);
  timer->start();
  timer_ = timer;
}

void FirmwareInstallation::setTickInterval(std::chrono::milliseconds interval) {
  tickInterval_ = interval;
  if (timer_) {
    timer_->setInterval(interval);
  }
}

void FirmwareInstallation::tick() {
  totalTime_ += tickSeconds;
  if (!platform_.firmwareInstalling() || totalTime_ < timeoutSeconds) {
    return;
  }
  setFlag(false);
  stopWatchdog();
  Q_EMIT timedOut();
  QLog("CameraInfo, startTimer(), 超时未检测到设备插入");
}

void FirmwareInstallation::stopWatchdog() {
  if (timer_) {
    timer_->stop();
    timer_->deleteLater();
  }
  timer_ = nullptr;
}

void FirmwareInstallation::cameraAttached(const std::shared_ptr<USBDevice>& device) {
  // Only the camera coming back from an installation, or from a transfer it broke off, is of
  // interest here; a camera plugged in at any other time is not an update to verify.
  if (!installing_ && !cameraAway_) {
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
                // Back after a broken transfer: a retry sends the package to it.
                self->device_ = returned;
                self->cameraAway_ = false;
              }
            });
      });
}

void FirmwareInstallation::reattached(const std::shared_ptr<USBDevice>& device) {
  device_ = device;
  setFlag(false);
  stopWatchdog();
  platform_.scheduler()(this, verifyDelayMs, [self = QPointer(this)] {
    if (self) {
      Q_EMIT self->verifying();
      self->checkDeviceState();
    }
  });
}

void FirmwareInstallation::fail() {
  setFlag(false);
  stopWatchdog();
  Q_EMIT failed();
}

void FirmwareInstallation::checkDeviceState() {
  QLog("CameraInfo, getState");
  device_->getState([self = QPointer(this)](std::int64_t code, std::int64_t state) {
    QLog("CameraInfo, getState, " + std::to_string(code) + ", " + std::to_string(state));
    if (!self) {
      return;
    }
    if (code == 0 && state == 1) {
      self->checkDeviceVersion();
    } else {
      self->fail();
    }
  });
}

void FirmwareInstallation::checkDeviceVersion() {
  QLog("CameraInfo, getVersion");
  device_->getVersion(
      [self = QPointer(this)](std::int64_t code, const std::optional<std::string>& value) {
        QLog("CameraInfo, getVersion, " + std::to_string(code) + ", " + debugForm(value));
        if (!self) {
          return;
        }
        if (code == 0 && value && displayText(*value) != self->currentVersion_) {
          Q_EMIT self->completed();
        } else {
          self->fail();
        }
      });
}

void FirmwareInstallation::cameraRemoved(const std::shared_ptr<USBDevice>& device) {
  if (device->locationID() != device_->locationID()) {
    return;
  }
  if (installing_ && !transferAccepted_) {
    // Gone before it took the whole image: no restart will bring a new version, so the
    // installation has failed now rather than when the watchdog gives up.
    QLog("CameraInfo, usbHidManager(_:didRemove:), the camera left during the transfer");
    cameraAway_ = true;
    fail();
    return;
  }
  if (!platform_.firmwareInstalling()) {
    Q_EMIT cameraLeft();
  }
}

}  // namespace vexhal
