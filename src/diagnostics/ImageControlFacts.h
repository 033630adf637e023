#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
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
    // Each none when the camera refused that request.
    std::optional<std::int64_t> minimum;
    std::optional<std::int64_t> maximum;
    std::optional<std::int64_t> defaultValue;
    std::optional<std::int64_t> current;
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
