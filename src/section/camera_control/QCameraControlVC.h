#pragma once

#include <QList>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>

#include "common/QTapThrottle.h"
#include "common/QViewController.h"
#include "device/hid/USBHidManager.h"
#include "platform/Platform.h"
#include "section/camera_control/PreviewSession.h"
#include "section/camera_control/QDataBase.h"
#include "section/camera_control/QSettingsKeeper.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace vexhal {

namespace video {
class QVideoRenderView;
}  // namespace video

class PreviewGridOverlay;
class QAlertController;
class QCameraFunctionControlVC;
class QCameraImageControlVC;
class QPresetMenu;
class USBDevice;

// The screen for one camera: its live preview with the framing guide, the function page and
// the image page in two tabs, and the actions that span both pages (save in the camera and on
// this computer, reset to factory values, leave with or without saving, open the camera info
// screen). It follows the camera's removal; its PreviewSession runs the capture, and each of
// the session's retries gets a new preview.
//
// Threads: the GUI thread; the frames go straight from the capture work queue to the preview.
// Device replies hold the screen weakly.
class QCameraControlVC : public QViewController {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kRetryInterval = PreviewSession::kRetryInterval;
  static constexpr std::chrono::milliseconds kTapThrottle{300};
  static constexpr int kFunctionTab = 0;
  static constexpr int kImageTab = 1;
  static constexpr int kTabIndicatorX[2] = {76, 256};

  // The question "Save" asks, with its full-width question mark.
  static QString saveQuestionText() { return QStringLiteral("Save the settings\uFF1F"); }

  // Captures from the platform's capture backend; the image page tells `keeper` (if any) the
  // values it holds the camera at.
  QCameraControlVC(std::shared_ptr<USBDevice> device, Platform& platform,
                   USBHidManager& manager = USBHidManager::shared(),
                   QDataBase dataBase = QDataBase(), QWidget* parent = nullptr,
                   QSettingsKeeper* keeper = nullptr);
  ~QCameraControlVC() override;

  const std::shared_ptr<USBDevice>& device() const { return device_; }
  QCameraFunctionControlVC* functionControlVC() const { return functionControlVC_; }
  QCameraImageControlVC* imageControlVC() const { return imageControlVC_; }
  // The image page's preset menu; its presets are those of the camera's model.
  QPresetMenu* presetMenu() const { return presetMenu_; }
  video::QVideoRenderView* preView() const { return preView_; }
  PreviewGridOverlay* segregatorImg() const { return segregatorImg_; }
  QToolButton* segregatorBtn() const { return segregatorBtn_; }
  QToolButton* backBtn() const { return backBtn_; }
  QToolButton* cameraDetailBtn() const { return cameraDetailBtn_; }
  QPushButton* saveBtn() const { return saveBtn_; }
  QPushButton* resetBtn() const { return resetBtn_; }
  QPushButton* tabBtn(int tag) const { return tabBtns_[tag]; }
  QWidget* tabIndicator() const { return tabIndicator_; }
  QLabel* titleLabel() const { return titleLabel_; }
  // Over the preview: why it shows nothing (the camera is busy), hidden otherwise.
  QLabel* previewNotice() const { return previewNotice_; }
  int selectedTab() const;
  // The dialogs this screen shows now.
  QList<QAlertController*> presentedAlerts() const;
  // Whether a capture device was found and the capture started; frames rendered so far.
  bool isCapturing() const { return session_.isCapturing(); }
  std::uint64_t framesRendered() const { return session_.framesRendered(); }

  void startCapture();
  void stopCapture();
  void tabBtnAction(int tag);
  void saveBtnAction();
  void saveParams();
  void resetBtnAction();
  void resetParams();
  void backBtnAction();
  void cameraDetailBtnAction();
  // Either page's working copy differs from its baseline.
  bool hasUnsavedChanges() const;

  // An arriving camera changes nothing here; the removal of this screen's camera closes it.
  void usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& /*device*/) {}
  void usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device);

  // The clock of the overlay button's throttle (tests drive it by hand).
  void setTapClock(QTapThrottle::Clock clock) { tapClock_ = std::move(clock); }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* makeHeader();
  QWidget* makePreviewArea();
  QWidget* makeSettingsPanel();
  void toggleSegregator();
  void present(QAlertController* alert);
  void confirm(const QString& message, void (QCameraControlVC::*confirmed)());
  void popScreen();

  std::shared_ptr<USBDevice> device_;
  Platform& platform_;
  USBHidManager& manager_;
  QDataBase dataBase_;
  QPointer<QSettingsKeeper> keeper_;
  std::shared_ptr<USBHidDelegate> delegateLink_;
  PreviewSession session_;
  QTapThrottle::Clock tapClock_;
  QList<QPointer<QAlertController>> alerts_;

  QLabel* titleLabel_ = nullptr;
  QToolButton* backBtn_ = nullptr;
  QToolButton* cameraDetailBtn_ = nullptr;
  QWidget* previewArea_ = nullptr;
  video::QVideoRenderView* preView_ = nullptr;
  PreviewGridOverlay* segregatorImg_ = nullptr;
  QLabel* previewNotice_ = nullptr;
  QToolButton* segregatorBtn_ = nullptr;
  QPushButton* tabBtns_[2] = {nullptr, nullptr};
  QWidget* tabIndicator_ = nullptr;
  QStackedWidget* tabView_ = nullptr;
  QCameraFunctionControlVC* functionControlVC_ = nullptr;
  QCameraImageControlVC* imageControlVC_ = nullptr;
  QPresetMenu* presetMenu_ = nullptr;
  QPushButton* saveBtn_ = nullptr;
  QPushButton* resetBtn_ = nullptr;
};

}  // namespace vexhal
