#pragma once

#include <QPointer>

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/QViewController.h"
#include "device/uvc/UVCCameraControl.h"
#include "device/uvc/VideoControlSet.h"
#include "device/uvc/VideoControlWatch.h"
#include "preset/QPresetFit.h"
#include "section/camera_control/QDataBase.h"
#include "section/camera_control/QImageControlModel.h"
#include "section/camera_control/QSettingsKeeper.h"

class QLabel;
class QScrollArea;
class QSlider;
class QTimer;
class QToolButton;

namespace vexhal {

class QFurtherControlsSection;
class QSegmentedControl;
class QSwitch;
class USBDevice;

// The image page of the camera control screen: an image mode and four sliders (brightness,
// contrast, saturation, sharpness), read from the camera's UVC controls with the settings stored
// on this computer laid over them, and sent the moment the user changes them; below them the
// "More" section with every further control the camera's video node lists. The rules live in
// QImageControlModel. UVC requests are synchronous and made on the main thread, as is
// everything here.
class QCameraImageControlVC : public QViewController {
  Q_OBJECT

 public:
  static constexpr int kContentHeight = 324;
  static constexpr std::chrono::milliseconds kRetryInterval{1000};

  // Opens the camera's UVC controls and loads at once; while the camera has no video-control
  // channel yet, tries again every second. `database` holds the stored settings. Before each
  // send `keeper` (if any) learns the working copy, so that it does not undo the page's own
  // changes; when the page goes the keeper returns to the stored record.
  QCameraImageControlVC(const std::shared_ptr<USBDevice>& device, UVCTransportFactory& uvcFactory,
                        QDataBase database = QDataBase(), QWidget* parent = nullptr,
                        QSettingsKeeper* keeper = nullptr);
  ~QCameraImageControlVC() override;

  const QImageControlModel& model() const { return model_; }
  // The camera's serial number as the key of its stored settings, or nothing when unknown.
  std::optional<QString> serialNumber() const;

  // Applies `mode` with `values` (the control screen's reset passes standard and 128s).
  void resetParams(QUVCParams::ImageMode mode, const QUVCParams& values);
  // The further controls to the driver's defaults (the control screen's reset).
  void resetFurther();
  // Puts the camera's values back to the baseline (leaving without saving).
  void restoreParams();
  // Whether the camera's controls could be listed: presets need them.
  bool hasControls() const { return controlSet_ != nullptr; }
  const std::vector<VideoControl>& controls() const { return controls_; }
  // Every control of the camera with the working copy's values, as a preset holds them.
  std::map<std::string, QControlValue> presetControls() const;
  // Fits `wanted` to the camera's controls and applies it; the mode becomes custom. Returns what
  // was adjusted on the way.
  QPresetFit applyPresetControls(const std::map<std::string, QControlValue>& wanted);
  // Stores the working copy on this computer under `serialNumber`; false when the store
  // cannot be written or there is nothing loaded.
  bool storeSettings(const QString& serialNumber);
  // The camera saved: the working copy becomes the baseline.
  void markSaved();

  QSegmentedControl* imageModeSegment() const { return imageModeSegment_; }
  // Beside the mode selector; the control screen gives it its menu.
  QToolButton* presetsBtn() const { return presetsBtn_; }
  QFurtherControlsSection* moreSection() const { return more_; }
  // "Keep my image settings": whether the stored record is put back when another program
  // changes the camera. Acts at once, apart from Save and Reset; usable once a record is stored.
  QSwitch* keepSwitch() const { return keepSwitch_; }
  QSlider* slider(QUVCSetting::Control control) const;
  QLabel* label(QUVCSetting::Control control) const;
  int contentHeight() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void buildView();
  void load();
  void send(const QImageControlModel::Commands& commands);
  // Sends, then moves the changed sliders and selects the working copy's mode.
  void sendAndShow(const QImageControlModel::Commands& commands);
  void showValue(QUVCSetting::Control control, std::int64_t value);
  // Lists the camera's controls, lays the stored further values over them and watches them;
  // the further controls as the model's copies carry them.
  std::map<std::string, QControlValue> openControls(const std::optional<QUVCParams>& stored);
  // Sets further controls in the camera, automatic modes first; then lists the controls again
  // when a mode may have taken or given back others, or a value was refused.
  void sendFurther(const QImageControlModel::FurtherCommands& commands);
  void refreshControls(const std::vector<std::string>& refused);
  void furtherChosen(std::uint32_t id, qint64 value);
  void controlEvent(const VideoControlEvent& event);
  const VideoControl* findControl(std::uint32_t id) const;
  const VideoControl* findControl(const std::string& key) const;
  void fitContent();
  void sliderValueChanged(QUVCSetting::Control control);
  void sliderAction(QUVCSetting::Control control);
  // Shows the keep switch for the camera's stored record, or disabled without one.
  void showKeepSwitch();
  void keepSwitchAction(bool keep);

  std::weak_ptr<USBDevice> device_;
  UVCTransportFactory& uvcFactory_;
  QDataBase database_;
  QPointer<QSettingsKeeper> keeper_;
  std::optional<std::uint32_t> location_;  // the camera's, when it fits the UVC controls
  std::optional<UVCCameraControl> cameraControl_;
  std::unique_ptr<VideoControlSet> controlSet_;
  std::unique_ptr<VideoControlWatch> controlWatch_;
  std::vector<VideoControl> controls_;  // every control, as last listed or reported
  QImageControlModel model_;
  QTimer* retryTimer_ = nullptr;
  bool isFirstLoad_ = true;
  bool updatingControls_ = false;

  QScrollArea* scrollArea_ = nullptr;
  QWidget* content_ = nullptr;
  QSegmentedControl* imageModeSegment_ = nullptr;
  QToolButton* presetsBtn_ = nullptr;
  QFurtherControlsSection* more_ = nullptr;
  std::array<QSlider*, 4> sliders_{};
  std::array<QLabel*, 4> labels_{};
  QSwitch* keepSwitch_ = nullptr;
  QLabel* keepHint_ = nullptr;
};

}  // namespace vexhal
