#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

#include "section/camera_control/QHIDParams.h"
#include "section/camera_control/QHIDSetting.h"

namespace vexhal {

// The rules of the function page, without its widgets: the baseline read from the camera, the
// working copy the user edits, and the set commands each action sends, in the order they must
// reach the camera. Until the load has finished there is no working copy, and every action and
// reset is ignored (it returns no command). Used on the main thread only.
class QFunctionControlModel {
 public:
  using Commands = std::vector<QHIDSetting>;

  static constexpr std::int64_t kTrackingAutoFraming = 0;
  static constexpr std::int64_t kTrackingPeopleBox = 1;

  const std::optional<QHIDParams>& cameraParams() const { return cameraParams_; }
  const std::optional<QHIDParams>& changeCameraParams() const { return changeCameraParams_; }
  std::int64_t lastTracking() const { return lastTracking_; }
  bool is4KCapturing() const { return is4KCapturing_; }
  bool isLoaded() const { return changeCameraParams_.has_value(); }
  // The working copy differs from the baseline; false before the load has finished.
  bool hasChanges() const;

  // Starts a load: the baseline becomes the default record until the camera's replies arrive.
  void beginLoad();
  // One load reply, failed or not: its value replaces the baseline's field. When all six fields
  // have answered, in whatever order, the working copy starts from the baseline and this
  // returns true.
  bool storeLoaded(QHIDSetting::Field field, std::int64_t value);

  Commands setIntelligent(bool on);
  Commands chooseAutoFraming();
  Commands choosePeopleBox();
  Commands chooseFramingMode(std::int64_t mode);
  Commands chooseAngleItem(int item);
  Commands choosePickupItem(int item);
  Commands setMirror(bool on);
  // Factory values, sending only what differs: the tracking functions first, the angle after.
  Commands reset();
  // The baseline again, sending only what differs: each tracking function that comes back on
  // gets its angle first, and the other function is switched off before it.
  Commands restore();
  // Another record (a preset's functions), sent as restore() sends the baseline. A record with
  // both tracking functions on keeps auto framing; angle and pick-up land on the selectors'
  // items.
  Commands applyParams(QHIDParams target);
  // A save succeeded: the working copy becomes the baseline.
  void markSaved();

  // The capture-information flag; true when the 4K notice is due (the flag has just turned on).
  bool updateCaptureInfo(bool capturing4K);
  void clear4KCapturing() { is4KCapturing_ = false; }

 private:
  // Sends `value` for `field` when the working copy holds something else, and stores it.
  void sendIfDifferent(Commands& out, QHIDSetting::Field field, std::int64_t value);
  void send(Commands& out, QHIDSetting::Field field, std::int64_t value);
  Commands moveTo(const QHIDParams& b);

  std::optional<QHIDParams> cameraParams_;
  std::optional<QHIDParams> changeCameraParams_;
  std::bitset<6> answered_;  // the fields whose load reply has arrived
  std::int64_t lastTracking_ = kTrackingAutoFraming;
  bool is4KCapturing_ = false;
};

// The record's value for one field, and the record with that field replaced.
std::int64_t fieldValue(const QHIDParams& params, QHIDSetting::Field field);
void setFieldValue(QHIDParams& params, QHIDSetting::Field field, std::int64_t value);

}  // namespace vexhal
