#pragma once

#include <QString>

#include <memory>

namespace vexhal {

namespace sim {
class VirtualCameraRig;
}

// `vexhaltools --demo`: one virtual camera plugged in for the whole run, reached by the
// program's HID manager and UVC controls as a real camera is, always accessible, and the
// control server through which `vexhal-sim unplug` and `vexhal-sim plug` move it. Create it on
// the main thread after the application object and before anything uses the HID manager.
class DemoSession {
 public:
  DemoSession();
  DemoSession(const DemoSession&) = delete;
  DemoSession& operator=(const DemoSession&) = delete;
  ~DemoSession();

  // Installs the virtual camera for the process and opens the control server. False with the
  // reason in `error` when the camera could not be installed; a control server that cannot
  // listen is reported in `notice` and the demo goes on without it.
  bool start(QString* error, QString* notice);

  sim::VirtualCameraRig& rig() { return *rig_; }

  // The line printed at start: how to unplug and plug the virtual camera.
  static QString usageLine();

 private:
  std::unique_ptr<sim::VirtualCameraRig> rig_;
  bool started_ = false;
};

}  // namespace vexhal
