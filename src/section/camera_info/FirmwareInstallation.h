#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

#include "device/hid/USBDevice.h"
#include "platform/Platform.h"

namespace vexhal {

// A camera's identity reads and its firmware installation: the package goes to the camera, a
// watchdog waits up to 120 s for it to restart, the camera that comes back with the same serial
// number replaces the old device, and the update counts only when it reports ready and a
// version other than the one it started from. The platform's in-progress flag is set while an
// installation runs. Main thread only; device replies after the model has gone are ignored.
class FirmwareInstallation : public QObject {
  Q_OBJECT

 public:
  FirmwareInstallation(std::shared_ptr<USBDevice> device, Platform& platform,
                       QObject* parent = nullptr);
  ~FirmwareInstallation() override;

  // Reads the serial number and version (serialNumberRead, versionRead on success).
  void readInfo();
  // Reads the version again before an update check; `done` runs after the reply, whatever it was.
  void rereadVersion(std::function<void()> done);
  // Sends the downloaded package and starts the watchdog; ignored while an installation runs.
  void install();
  // The same with the package at `packagePath`; `progress` hears the whole percent the camera
  // has taken.
  void install(const QString& packagePath, std::function<void(int percent)> progress);

  // Arrivals and removals of the manager's cameras. The screen forwards arrivals only while it
  // is on top.
  void cameraAttached(const std::shared_ptr<USBDevice>& device);
  void cameraRemoved(const std::shared_ptr<USBDevice>& device);

  // How often the watchdog ticks in real time, also for a running watchdog; every tick counts
  // as 10 s whatever it is set to.
  void setTickInterval(std::chrono::milliseconds interval);

  const std::shared_ptr<USBDevice>& device() const { return device_; }
  // The version last read, the reference an installed update must differ from.
  const QString& currentVersion() const { return currentVersion_; }
  // The version the device last reported, empty when its last read failed.
  QString reportedVersion() const;
  double totalTime() const { return totalTime_; }
  bool isWatchdogRunning() const { return timer_ != nullptr; }
  bool isInstalling() const { return installing_; }

  static constexpr double tickSeconds = 10.0;
  static constexpr double timeoutSeconds = 120.0;
  static constexpr int reattachDelayMs = 1000;
  static constexpr int verifyDelayMs = 2000;

 Q_SIGNALS:
  void serialNumberRead(const QString& serialNumber);
  void versionRead(const QString& version);
  // install() did not start: the version it starts from is unknown.
  void refusedForUnknownVersion();
  // The package is on its way; the screen is blocked until an outcome.
  void transferStarted();
  // The transfer ended: 0 when the camera took the whole package (a restart follows), else the
  // camera's failure code or the transfer's own.
  void transferEnded(qint64 code);
  // The camera came back; it is checked after verifyDelayMs.
  void verifying();
  void failed();
  void completed();
  // The watchdog gave up on the camera coming back.
  void timedOut();
  // The model's camera went away outside an installation.
  void cameraLeft();

 private:
  void tick();
  void startWatchdog();
  void stopWatchdog();
  void fail();
  void reattached(const std::shared_ptr<USBDevice>& device);
  void checkDeviceState();
  void checkDeviceVersion();
  void setFlag(bool installing);

  std::shared_ptr<USBDevice> device_;
  Platform& platform_;
  std::chrono::milliseconds tickInterval_{10000};
  QPointer<QTimer> timer_;
  double totalTime_ = 0;
  QString currentVersion_;
  bool installing_ = false;        // this model set the platform's installation flag
  bool transferAccepted_ = false;  // the camera answered the finish step: a restart is expected
  bool cameraAway_ = false;        // the camera left during the transfer and has not come back
};

}  // namespace vexhal
