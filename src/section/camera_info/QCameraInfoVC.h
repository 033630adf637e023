#pragma once

#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "common/QAlertController.h"
#include "common/QViewController.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidDelegate.h"
#include "device/hid/USBHidManager.h"
#include "extension/QHudOverlay.h"
#include "net/RVersionUpgradeInfo.h"
#include "platform/Platform.h"
#include "section/camera_info/QUpgradeLoadingView.h"
#include "section/camera_info/QUpgradeVC.h"

class QLabel;
class QPushButton;

namespace vexhal {

// One camera's name, serial number and firmware version, the firmware version check, and the
// installation: the package goes to the camera, an overlay blocks the window, and a watchdog
// waits up to 120 s for the camera to restart and come back with a new version.
// Main thread only; device and service replies that arrive after the screen has gone are
// ignored.
class QCameraInfoVC : public QViewController {
  Q_OBJECT

 public:
  QCameraInfoVC(const std::shared_ptr<USBDevice>& device, Platform& platform,
                USBHidManager& manager = USBHidManager::shared(), QWidget* parent = nullptr);
  ~QCameraInfoVC() override;

  void refreshInfo();
  void checkVersionBtnAction();
  void backBtnAction();
  void needVersionUpgradeRequest();
  void showInstallHud();
  void startTimer();
  void checkDeviceState();
  void checkDeviceVersion();

  void usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device);
  void usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device);

  // How often the watchdog ticks in real time, also for a running watchdog; every tick counts
  // as 10 s whatever it is set to.
  void setTickInterval(std::chrono::milliseconds interval);

  const std::shared_ptr<USBDevice>& device() const { return device_; }
  double totalTime() const { return totalTime_; }
  bool isTimerRunning() const { return timer_ != nullptr; }
  const QString& lastVersion() const { return lastVersion_; }
  const std::optional<RVersionUpgradeInfo>& versionInfo() const { return versionInfo_; }
  QUpgradeLoadingView* loadingView() const { return loadingView_; }
  QUpgradeVC* updateVC() const { return updateVC_; }
  QAlertController* failureAlert() const { return failureAlert_; }
  QLabel* nameLabel() const { return nameLabel_; }
  QLabel* serialLabel() const { return serialLabel_; }
  QLabel* versionLabel() const { return versionLabel_; }
  QPushButton* checkVersionBtn() const { return checkVersionBtn_; }

  static constexpr double tickSeconds = 10.0;
  static constexpr double timeoutSeconds = 120.0;
  static constexpr int reattachDelayMs = 1000;
  static constexpr int verifyDelayMs = 2000;

 private:
  bool isTopScreen() const;
  void popToRoot();
  void tick();
  void stopTimer();
  void removeLoadingView();
  void upgradeFailed();
  void reattached(const std::shared_ptr<USBDevice>& device);
  void showToast(const QString& text);
  void showVersion(const QString& version);

  std::shared_ptr<USBDevice> device_;
  Platform& platform_;
  USBHidManager& manager_;
  std::shared_ptr<USBHidDelegate> delegateLink_;
  std::chrono::milliseconds tickInterval_{10000};
  QPointer<QTimer> timer_;
  double totalTime_ = 0;
  QString lastVersion_;
  std::optional<RVersionUpgradeInfo> versionInfo_;
  QPointer<QUpgradeLoadingView> loadingView_;
  QPointer<QUpgradeVC> updateVC_;
  QPointer<QAlertController> failureAlert_;
  bool installing_ = false;        // this screen set the process-wide installation flag
  bool transferAccepted_ = false;  // the camera answered the finish step: a restart is expected
  bool cameraAway_ = false;        // the camera left during the transfer and has not come back
  QLabel* nameLabel_;
  QLabel* serialLabel_;
  QLabel* versionLabel_;
  QPushButton* checkVersionBtn_;
  QBusyClaim busy_;
};

}  // namespace vexhal
