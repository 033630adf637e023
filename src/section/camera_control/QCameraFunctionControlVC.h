#pragma once

#include <QString>

#include <memory>

#include "base/Scheduler.h"
#include "common/QViewController.h"
#include "section/camera_control/QFunctionControlModel.h"

class QAbstractButton;
class QRadioButton;
class QScrollArea;

namespace vexhal {

class QSegmentedControl;
class QSwitch;
class USBDevice;

// The function page of the camera control screen: intelligent framing, field of view, mirror
// and audio pick-up, read from the camera over HID when the page is made and sent to it the
// moment the user changes them. The rules live in QFunctionControlModel; this class shows the
// working copy and sends the commands the model gives. Main thread only.
class QCameraFunctionControlVC : public QViewController {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 48;
  static const QString& fourKNoticeText();

  // Loads at once from `device` (held weakly: a camera that is gone receives nothing); its
  // notices are timed by `scheduler`.
  QCameraFunctionControlVC(const std::shared_ptr<USBDevice>& device, Scheduler scheduler,
                           QWidget* parent = nullptr);

  const QFunctionControlModel& model() const { return model_; }
  // Puts the camera back to factory values and shows them.
  void resetParams();
  // Puts the camera back to the baseline (leaving without saving).
  void restoreParams();
  // A preset's functions: sent and shown as the user's own changes would be.
  void applyPreset(const QHIDParams& functions);
  // A save succeeded: what the camera was told becomes the baseline.
  void markSaved();
  // The capture-information flag from the camera; shows the 4K notice when it turns on.
  void handleCaptureInfo(bool capturing4K);
  void clear4KCapturing() { model_.clear4KCapturing(); }

  QSwitch* intelligentSwitch() const { return intelligentSwitch_; }
  QRadioButton* autoFramingBtn() const { return autoFramingBtn_; }
  QRadioButton* meetingModeBtn() const { return meetingModeBtn_; }
  QRadioButton* singleModeBtn() const { return singleModeBtn_; }
  QRadioButton* pepleBoxBtn() const { return pepleBoxBtn_; }
  QSegmentedControl* angleSegment() const { return angleSegment_; }
  QSwitch* hMirrorSwitch() const { return hMirrorSwitch_; }
  QSegmentedControl* pickupSegment() const { return pickupSegment_; }
  QWidget* autoFramingGroup() const { return autoFramingGroup_; }
  QWidget* modeButtonsRow() const { return modeButtonsRow_; }
  QWidget* peopleBoxRow() const { return peopleBoxRow_; }
  // The height the page's content was last laid out to.
  int contentHeight() const;
  QScrollArea* scrollArea() const { return scrollArea_; }

 private:
  void buildView();
  void load();
  void applyParams(const QHIDParams& params);
  void send(const QFunctionControlModel::Commands& commands);
  // Sends, then shows the working copy.
  void sendAndShow(const QFunctionControlModel::Commands& commands);
  // The content height for the rows shown now.
  int rowsHeight() const;
  void relayoutLater();
  void show4KNotice();

  void intelligentSwitchAction(bool on);
  void autoFramingBtnAction();
  void pepleBoxBtnAction();
  void modeBtnAction(QRadioButton* button, std::int64_t tag);
  void angleSegmentAction(int item);
  void pickupSegmentAction(int item);
  void hMirrorSwitchAction(bool on);

  std::weak_ptr<USBDevice> device_;
  Scheduler scheduler_;
  QFunctionControlModel model_;

  QScrollArea* scrollArea_ = nullptr;
  QWidget* content_ = nullptr;
  QSwitch* intelligentSwitch_ = nullptr;
  QWidget* autoFramingGroup_ = nullptr;
  QRadioButton* autoFramingBtn_ = nullptr;
  QWidget* modeButtonsRow_ = nullptr;
  QRadioButton* meetingModeBtn_ = nullptr;
  QRadioButton* singleModeBtn_ = nullptr;
  QWidget* peopleBoxRow_ = nullptr;
  QRadioButton* pepleBoxBtn_ = nullptr;
  QSegmentedControl* angleSegment_ = nullptr;
  QSwitch* hMirrorSwitch_ = nullptr;
  QSegmentedControl* pickupSegment_ = nullptr;
};

}  // namespace vexhal
