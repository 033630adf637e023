#pragma once

#include <QPointer>
#include <QString>

#include <optional>

#include "base/Scheduler.h"

class QWidget;

namespace vexhal {

class QProgressHUD;

// The two overlays of a window, drawn over its content view (a main window's central widget):
// the busy overlay that blocks the window while a request runs, and the toast.
class QHudOverlay {
 public:
  // The window's busy overlay, made on first call; later calls return the same one.
  static QProgressHUD* showBusy(QWidget* window);
  // The window's busy overlay, or null.
  static QProgressHUD* busyOverlay(QWidget* window);
  static void hideBusy(QWidget* window);

  // Shows `text` for `seconds` (2 for a short note), timed by `scheduler`. No text, or an
  // empty one, shows nothing and gives null. A new toast replaces the one still on screen. It is
  // centred unless that covers the focused control or the one under the mouse; then it sits
  // near the bottom.
  static QProgressHUD* showToast(QWidget* window, const std::optional<QString>& text,
                                 const Scheduler& scheduler, double seconds = 2.0);
  // The toast on screen, or null.
  static QProgressHUD* toast(QWidget* window);

  // Where a window's overlays go.
  static QWidget* contentView(QWidget* window);
};

// A screen's use of its window's busy overlay while its requests run. Each finished request
// hides the overlay; requests still running when the screen goes away (it closed while
// waiting, so their replies will be ignored) hide it then, so it cannot stay for good.
class QBusyClaim {
 public:
  QBusyClaim() = default;
  QBusyClaim(const QBusyClaim&) = delete;
  QBusyClaim& operator=(const QBusyClaim&) = delete;
  ~QBusyClaim();

  // Shows the busy overlay over the window of `screen` for one more request.
  void show(QWidget* screen);
  // One request ended, with or without success: the overlay goes.
  void done();

 private:
  QPointer<QProgressHUD> hud_;
  int running_ = 0;
};

}  // namespace vexhal
