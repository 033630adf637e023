#pragma once

#include <QString>

#include <optional>

#include "platform/Platform.h"
#include "platform/QCameraAccessProblem.h"
#include "platform/QCameraAccessSystem.h"

namespace vexhal {

class USBDevice;

// Whether this user may open a camera's device nodes (its hidraw control node and its V4L2
// video nodes), and if not, why and what fixes it on this system: the udev rule the package
// installs, group membership for remote sessions, or the sandbox's device permission. Used on
// the main thread.
class QCameraAccess {
 public:
  using Checker = Platform::AccessChecker;

  // The problem that keeps the camera from being used, none when access is granted: the
  // platform's checker's answer (the virtual camera's, a test's), else the diagnosis on its
  // system.
  static std::optional<QCameraAccessProblem> check(const USBDevice& device,
                                                   const Platform& platform);
  // The platform's access system, else the running one.
  static const QCameraAccessSystem& system(const Platform& platform);

  // The first node of the camera that cannot be opened, as the doctor finds it: the control
  // node when the HID layer could not open it, else the first video node that refuses, with
  // the program that holds it when it is busy.
  static std::optional<QCameraAccessProblem> diagnose(const USBDevice& device,
                                                      const QCameraAccessSystem& system);
  // A few sentences for the permission alert: the node, the reason (the doctor's), and what to
  // do.
  static QString explain(const QCameraAccessProblem& problem, const QCameraAccessSystem& system);
  // The exact steps that fix `problem` here, with the commands to run (rich text).
  static QString fixSteps(const QCameraAccessProblem& problem, const QCameraAccessSystem& system);
  // The full help on device access: the packaged vexhaltools/device-access.txt from the first
  // data folder that has it, else the copy built into the program.
  static QString helpText(const QCameraAccessSystem& system);

  // Where udev finds the rule, and whether it is there.
  static std::optional<QString> installedRule(const QCameraAccessSystem& system);
  // The program's own copy of the rule beside its installation, to install from.
  static std::optional<QString> packagedRule(const QCameraAccessSystem& system);

  static constexpr const char* kRuleName = "70-vexhaltools.rules";
};

}  // namespace vexhal
