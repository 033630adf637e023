#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "section/camera_control/QUVCParams.h"
#include "section/camera_control/QUVCSetting.h"

namespace vexhal {

// The rules of the image page, without its widgets: the baseline, the working copy, and the
// image values each action sends, in order. Without a finished load there is no working copy
// and every action is ignored. Used on the main thread only.
class QImageControlModel {
 public:
  using Commands = std::vector<QUVCSetting>;
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
  Commands load(const QUVCParams& read, const std::optional<QUVCParams>& stored);

  // The mode and, unless it is custom, the given values that differ from the working copy.
  Commands resetParams(QUVCParams::ImageMode mode, const QUVCParams& values);
  // A slider moves: the values no longer follow a preset.
  void sliderMoving();
  // A slider was let go at `position`: its value, when it changed.
  Commands sliderReleased(Control control, int position);
  // The baseline's values where the working copy differs; the mode is not the camera's.
  Commands restore();
  void markSaved();

 private:
  std::optional<QUVCParams> cameraParams_;
  std::optional<QUVCParams> changeCameraParams_;
};

std::int64_t controlValue(const QUVCParams& params, QUVCSetting::Control control);
void setControlValue(QUVCParams& params, QUVCSetting::Control control, std::int64_t value);

}  // namespace vexhal
