#pragma once

#include <QPointer>
#include <QTableWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/QAlertController.h"
#include "common/QTapThrottle.h"
#include "common/QViewController.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidManager.h"
#include "platform/Platform.h"
#include "platform/QCameraAccessProblem.h"
#include "section/camera_control/QDataBase.h"
#include "section/camera_control/QSettingsKeeper.h"

namespace vexhal {

class QCameraCellView;
class QEmptyStateView;

// The home screen: one row per camera the HID manager holds, with its state, and a footer row
// that opens the supported-devices sheet. When a camera arrives its stored image settings are
// sent to it again. Runs on the main thread; device replies that arrive after the screen has
// gone are ignored.
class QCameraListVC : public QViewController {
  Q_OBJECT

 public:
  // Stored image settings wait for the camera's video-control channel, which can appear after
  // its HID side: tried again this often, this many times.
  static constexpr std::chrono::milliseconds kApplyRetryInterval =
      QSettingsKeeper::kChannelRetryInterval;
  static constexpr int kApplyRetries = QSettingsKeeper::kChannelRetries;

  // Delays and access checks come from `platform`; `keeper`, which outlives the screen, is told
  // of every camera that comes and goes.
  QCameraListVC(Platform& platform, QSettingsKeeper& keeper,
                USBHidManager& manager = USBHidManager::shared(), QDataBase dataBase = QDataBase(),
                QWidget* parent = nullptr);
  ~QCameraListVC() override;

  const std::vector<std::shared_ptr<USBDevice>>& cameraArr() const { return cameraArr_; }
  QTableWidget* tableView() const { return tableView_; }
  QEmptyStateView* emptyView() const { return emptyView_; }
  // The row of the camera at `row`, or null.
  QCameraCellView* cellAt(int row) const;
  // The permission alert while it is shown.
  QAlertController* permissionAlert() const { return permissionAlert_; }

  void refreshCameraList(bool isNeedAsyncUVC);
  // Hands the camera whose serial number arrived to the settings keeper, which sends its stored
  // image settings once its video-control channel is there too, and holds it at them.
  void applyStoredUVCParams(const std::shared_ptr<USBDevice>& device,
                            const std::optional<std::string>& serialNumber);

  void usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device);
  void usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device);

  // An accepted tap on a camera row.
  void cameraBtnAction(const std::shared_ptr<USBDevice>& device);
  void pushCameraControlVC(const std::shared_ptr<USBDevice>& device);
  void pushCameraInfoVC(const std::shared_ptr<USBDevice>& device);
  void supportBtnAction();

  // The clock of the row buttons' throttles (tests drive it by hand).
  void setTapClock(QTapThrottle::Clock clock) { tapClock_ = std::move(clock); }
  // What the permission alert's "Setting" does; it shows the help on device access for the
  // problem the alert names, unless a test says otherwise.
  void setSettingAction(std::function<void()> action) { settingAction_ = std::move(action); }

  static constexpr int cameraRowHeight = 120;
  static constexpr int footerRowHeight = 52;
  static constexpr std::chrono::milliseconds tapThrottle{300};

 private:
  void reloadData();
  void reloadRow(int row);
  void showCameraControlVC(const std::shared_ptr<USBDevice>& device);
  void showPermissionAlert(const QCameraAccessProblem& problem);

  Platform& platform_;
  USBHidManager& manager_;
  QDataBase dataBase_;
  QSettingsKeeper& keeper_;  // the control screens it opens tell it the values they hold
  std::vector<std::shared_ptr<USBDevice>> cameraArr_;
  QTableWidget* tableView_;
  QEmptyStateView* emptyView_;
  QPointer<QAlertController> permissionAlert_;
  std::optional<QCameraAccessProblem> permissionProblem_;
  std::shared_ptr<USBHidDelegate> delegateLink_;
  QTapThrottle::Clock tapClock_;
  std::function<void()> settingAction_;
};

}  // namespace vexhal
