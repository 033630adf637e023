#pragma once

#include <QString>

#include <memory>

#include "platform/Platform.h"

namespace vexhal {

namespace sim {
class UpdateService;
class VirtualCameraRig;
}  // namespace sim

// `vexhaltools --demo`: one virtual camera plugged in for the whole run, reached by the
// program's HID manager and UVC controls as a real camera is, always accessible, and the
// control server through which `vexhal-sim unplug` and `vexhal-sim plug` move it. A local
// update service on loopback offers newer firmware for the camera (and nothing newer for the
// program), so the whole firmware update can be walked through. The window's "Demo" menu and
// `vexhalctl demo` reach the same control language in the program. Create it on
// the main thread after the application object and before anything uses the HID manager.
class DemoSession {
 public:
  DemoSession();
  DemoSession(const DemoSession&) = delete;
  DemoSession& operator=(const DemoSession&) = delete;
  ~DemoSession();

  // Makes the process-wide HID manager find the virtual camera and opens the control server.
  // False with the reason in `error` when the manager was already running; a control server
  // that cannot listen is reported in `notice` and the demo goes on without it.
  bool start(QString* error, QString* notice);

  sim::VirtualCameraRig& rig() { return *rig_; }
  // The virtual camera's discovery, controls and capture, always accessible.
  Platform& platform() { return platform_; }
  // Starts the local update service (start() does it) and makes it the service endpoint; false
  // with the reason in `notice` when it cannot listen.
  bool startUpdateService(QString* notice);
  // The local update service once started, else null.
  sim::UpdateService* updateService() { return service_.get(); }

  // Runs one line of the virtual camera's control language ("unplug", "fault slow 3000") and
  // gives its answer, "ok …" or "error …".
  QString command(const QString& line);

  // The line printed at start: how to unplug and plug the virtual camera.
  static QString usageLine();

 private:
  std::unique_ptr<sim::VirtualCameraRig> rig_;
  std::unique_ptr<sim::UpdateService> service_;
  Platform platform_;
};

}  // namespace vexhal
