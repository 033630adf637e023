#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "section/camera_control/QUVCParams.h"
#include "section/camera_control/QUVCSetting.h"

namespace vexhal {

// The rules of the image page, without its widgets: the baseline, the working copy, and the
// image values each action sends, in order. Both copies carry the camera's further controls
// (by control key), which count for unsaved changes and are restored like the four values.
// Without a finished load there is no working copy and every action is ignored. Used on the
// main thread only.
class QImageControlModel {
 public:
  using Commands = std::vector<QUVCSetting>;
  // A further control's value to send, by control key.
  struct FurtherSetting {
    std::string key;
    std::int64_t value = 0;

    friend bool operator==(const FurtherSetting&, const FurtherSetting&) = default;
  };
  using FurtherCommands = std::vector<FurtherSetting>;
  using Control = QUVCSetting::Control;
  static constexpr std::array<Control, 4> kControls{Control::brightness, Control::contrast,
                                                    Control::saturation, Control::sharpness};

  const std::optional<QUVCParams>& cameraParams() const { return cameraParams_; }
  const std::optional<QUVCParams>& changeCameraParams() const { return changeCameraParams_; }
  bool isLoaded() const { return changeCameraParams_.has_value(); }
  bool hasChanges() const;

  // Loads what the camera reported (`read`, its mode ignored) with the record stored on this
  // computer laid over it. Returns what must be sent to make the camera match: stored values
  // that differ from the camera's, and values outside 78..178 brought to the nearest end.
  // `further` are the camera's further controls as they stand, stored values already fitted in.
  Commands load(const QUVCParams& read, const std::optional<QUVCParams>& stored,
                std::map<std::string, QControlValue> further = {});

  // The mode and, unless it is custom, the given values that differ from the working copy.
  Commands resetParams(QUVCParams::ImageMode mode, const QUVCParams& values);
  // A slider moves: the values no longer follow a preset.
  void sliderMoving();
  // A slider was let go at `position`: its value, when it changed.
  Commands sliderReleased(Control control, int position);
  // Values that do not come from a mode (a preset): the mode becomes custom and the values
  // that differ are sent, limited to 78..178.
  Commands applyValues(const QUVCParams& values);
  // Further controls chosen: those the camera has and that differ from the working copy.
  FurtherCommands setFurther(const FurtherCommands& wanted);
  // The baseline's values where the working copy differs; the mode is not the camera's.
  Commands restore();
  FurtherCommands restoreFurther();
  void markSaved();

 private:
  std::optional<QUVCParams> cameraParams_;
  std::optional<QUVCParams> changeCameraParams_;
};

std::int64_t controlValue(const QUVCParams& params, QUVCSetting::Control control);
void setControlValue(QUVCParams& params, QUVCSetting::Control control, std::int64_t value);
// The image-page value a V4L2 control id stands for, if it is one of the four.
std::optional<QUVCSetting::Control> imageControlOf(std::uint32_t id);

}  // namespace vexhal
