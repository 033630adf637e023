#pragma once

#include <memory>

#include "common/QViewController.h"
#include "device/hid/USBHidDelegate.h"
#include "device/hid/USBHidManager.h"
#include "extension/QHudOverlay.h"
#include "platform/Platform.h"

class QLabel;
class QPushButton;

namespace vexhal {

class QDiagnosticsSupport;

// The program's version, its own update check, the store's terms and privacy pages, the way to
// the service settings, and for support the log folder (shown in the file manager on request)
// and the diagnostics export. Goes back to the camera list when any camera is unplugged.
// Main thread only.
class QAboutVC : public QViewController {
  Q_OBJECT

 public:
  // Without `diagnostics` the screen shows neither the log folder nor the export. It outlives
  // the screen.
  explicit QAboutVC(Platform& platform, USBHidManager& manager = USBHidManager::shared(),
                    QDiagnosticsSupport* diagnostics = nullptr, QWidget* parent = nullptr);
  ~QAboutVC() override;

  // "Version：1.0.0（v1.0.0-3-gabc）", with full-width colon and parentheses.
  static QString versionText(const QString& shortVersion, const QString& gitVersion);

  void checkVersionBtnAction();
  void serviceBtnAction();
  void privacyBtnAction();
  void clicked();
  void backBtnAction();
  void logFolderBtnAction();
  void usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device);
  // Any camera going away while this screen is on top returns to the camera list.
  void usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device);

  QLabel* versionLab() const { return versionLab_; }
  QPushButton* checkVersionBtn() const { return checkVersionBtn_; }
  QPushButton* serviceSettingsBtn() const { return serviceSettingsBtn_; }
  QLabel* logFolderLab() const { return logFolderLab_; }
  QPushButton* logFolderBtn() const { return logFolderBtn_; }
  QPushButton* exportBtn() const { return exportBtn_; }

  static constexpr const char* storeHost = "https://store.vexhal.example";

 private:
  Platform& platform_;
  USBHidManager& manager_;
  QDiagnosticsSupport* diagnostics_;
  std::shared_ptr<USBHidDelegate> delegateLink_;
  QLabel* logoImg_;
  QLabel* versionLab_;
  QPushButton* checkVersionBtn_;
  QPushButton* serviceSettingsBtn_;
  QLabel* logFolderLab_;
  QPushButton* logFolderBtn_;
  QPushButton* exportBtn_;
  QBusyClaim busy_;
};

}  // namespace vexhal
