#pragma once

#include <QPointer>

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
#include "section/camera_info/FirmwareInstallation.h"
#include "section/camera_info/QUpgradeLoadingView.h"
#include "section/camera_info/QUpgradeVC.h"

class QLabel;
class QPushButton;

namespace vexhal {

// One camera's name, serial number and firmware version, the firmware version check, and the
// installation's screen: the FirmwareInstallation sends the package and waits for the camera to
// come back; meanwhile an overlay blocks the window, and its outcome shows as an alert or toast.
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

  void usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device);
  void usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device);

  FirmwareInstallation& installation() { return installation_; }
  const std::shared_ptr<USBDevice>& device() const { return installation_.device(); }
  const std::optional<RVersionUpgradeInfo>& versionInfo() const { return versionInfo_; }
  QUpgradeLoadingView* loadingView() const { return loadingView_; }
  QUpgradeVC* updateVC() const { return updateVC_; }
  QAlertController* failureAlert() const { return failureAlert_; }
  QLabel* nameLabel() const { return nameLabel_; }
  QLabel* serialLabel() const { return serialLabel_; }
  QLabel* versionLabel() const { return versionLabel_; }
  QPushButton* checkVersionBtn() const { return checkVersionBtn_; }

 private:
  bool isTopScreen() const;
  void popToRoot();
  void showLoadingView();
  void removeLoadingView();
  void upgradeFailed();
  void showToast(const QString& text);
  void closeOnTop(const QString& toast);

  Platform& platform_;
  USBHidManager& manager_;
  FirmwareInstallation installation_;
  std::shared_ptr<USBHidDelegate> delegateLink_;
  std::optional<RVersionUpgradeInfo> versionInfo_;
  QPointer<QUpgradeLoadingView> loadingView_;
  QPointer<QUpgradeVC> updateVC_;
  QPointer<QAlertController> failureAlert_;
  QLabel* nameLabel_;
  QLabel* serialLabel_;
  QLabel* versionLabel_;
  QPushButton* checkVersionBtn_;
  QBusyClaim busy_;
};

}  // namespace vexhal
