#pragma once

#include <QString>

#include <map>
#include <string>

#include "section/camera_control/QHIDParams.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal {

// A named set of camera settings: the functions that travel over HID and every image control,
// each with the range it was saved under, by control key (the four image-page controls
// included).
struct QPreset {
  QString name;
  QHIDParams functions;
  std::map<std::string, QControlValue> controls;

  friend bool operator==(const QPreset&, const QPreset&) = default;
};

}  // namespace vexhal
