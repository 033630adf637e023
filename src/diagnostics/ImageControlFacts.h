#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace vexhal {
class UVCCameraControl;
}

namespace vexhal::diagnostics {

// Every image control of a camera with its range, default and current value, as the camera
// reports them through its UVC controls.
struct ImageControlFacts {
  struct Control {
    QString name;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::int64_t defaultValue = 0;
    std::int64_t current = 0;
  };

  bool reachable = false;  // false when the camera's control interface could not be opened
  std::vector<Control> controls;

  // Reads on the calling thread, the thread the control's transport belongs to. A value the
  // camera does not answer reads as 0 (the failure goes to the control's log).
  static ImageControlFacts read(UVCCameraControl& control);

  QJsonArray toJson() const;
  QStringList toText() const;
};

}  // namespace vexhal::diagnostics
