#pragma once

#include <QString>

class QWidget;

namespace vexhal {

// Brings a window forward on X11 for a launch that came with a startup id (DESKTOP_STARTUP_ID):
// the window manager is asked to activate it with the launch's user time, which is what its
// focus-stealing prevention weighs, and the launcher's startup notification is completed, so
// its busy cursor stops.
class X11LaunchActivation {
 public:
  // False, and nothing sent, where the display is not X11 or the window has no native window.
  static bool activate(QWidget* window, const QString& startupId);
  // The user time a startup id carries ("…_TIME<n>"), or 0, the current time.
  static quint32 userTime(const QString& startupId);
};

}  // namespace vexhal
