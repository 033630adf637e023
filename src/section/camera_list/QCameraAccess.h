#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vexhal {

class USBDevice;

// Whether this user may open a camera's device nodes (its V4L2 video node and its hidraw
// node), and the help that explains how access is granted on Linux (the udev rule the package
// installs). Used on the main thread.
class QCameraAccess {
 public:
  using Checker = std::function<bool(const USBDevice& device)>;

  // The answer of the installed checker; the node check unless another one was installed.
  static bool isGranted(const USBDevice& device);
  // Installs a checker for the whole process (the virtual camera's, a test's); null restores
  // the node check.
  static void install(Checker checker);

  // True unless one of the camera's nodes exists and cannot be opened for reading and writing.
  static bool nodesAccessible(const USBDevice& device);

  // Shows the help on device access over the window of `over`.
  static void showHelp(QWidget* over);
  static QString helpText();

  static constexpr const char* kUdevRulePath = "/usr/lib/udev/rules.d/70-vexhaltools.rules";
};

}  // namespace vexhal
