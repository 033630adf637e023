#pragma once

#include <QObject>

#include <functional>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

namespace vexhal::control {

// Carries out control requests on the program's device layer: picks the camera, reads and sets
// its functions over HID and its image controls over UVC, saves, installs firmware and checks
// for updates. The command line uses one on a manager of its own; the running program uses one
// on its shared manager for the requests that arrive on its socket. Main thread only.
class CameraCommandRunner : public QObject {
  Q_OBJECT

 public:
  using Progress = std::function<void(int percent)>;
  using Done = std::function<void(const ControlReply& reply)>;

  // Runs `request`; `progress` may be called while a transfer or download runs, and `done` is
  // called exactly once, within the request's bounds, never from inside run() itself.
  void run(const ControlRequest& request, Progress progress, Done done);
};

}  // namespace vexhal::control
