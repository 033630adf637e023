#pragma once

#include <QObject>

#include <functional>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"
#include "section/camera_control/QDataBase.h"

namespace vexhal {
class Platform;
class QSettingsKeeper;
class RNetManager;
class USBHidManager;
}  // namespace vexhal

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

  // `manager` finds the cameras (its monitoring already started); `platform` gives the UVC
  // controls, the capture devices paired with each camera, the access check, the scheduler and
  // the firmware-installation flag; `net` is the update-service client, configured for the
  // service's endpoint; `dataBase` stores the image settings Save records; `keeper`, when
  // given, is told the values set here before they are sent, so it never undoes them. All
  // must outlive the runner.
  CameraCommandRunner(USBHidManager& manager, Platform& platform, RNetManager& net,
                      QDataBase dataBase = QDataBase(), QSettingsKeeper* keeper = nullptr,
                      QObject* parent = nullptr);
  ~CameraCommandRunner() override;

  // Runs `request`; `progress` may be called while a transfer or download runs, and `done` is
  // called exactly once, within the request's bounds, never from inside run() itself.
  void run(const ControlRequest& request, Progress progress, Done done);

 private:
  USBHidManager& manager_;
  Platform& platform_;
  RNetManager& net_;
  QDataBase dataBase_;
  QSettingsKeeper* keeper_;
};

}  // namespace vexhal::control
