#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

#include "platform/Platform.h"

namespace vexhal {

class MainWindow;
class QDiagnosticsSupport;
class QSettingsKeeper;
class SleepWatcher;

// Starts the program and answers application-level events. Start-up: the main window with
// the launch screen, camera monitoring, and 2 s later the root screen in place of the launch
// screen. Reopening (a second launch, the tray icon's "Open") brings the window back. It owns the
// settings keeper, which keeps working while the window is closed: the keeper sends the held
// values again when the machine wakes, and the user is told when it gives up on a camera.
class AppDelegate : public QObject {
  Q_OBJECT

 public:
  // `platform` outlives the delegate and every screen it shows; so does `diagnostics`, which
  // gives the root screen its export entry.
  explicit AppDelegate(Platform& platform, QDiagnosticsSupport* diagnostics = nullptr,
                       QObject* parent = nullptr);
  ~AppDelegate() override;

  // The application's name and icon; closing the last window does not quit the program.
  static void configureApplication();

  // In the background the window is made but not shown: the tray or a second launch shows it.
  void applicationDidFinishLaunching(bool inBackground = false);
  // A second launch, with its launcher's Wayland activation token and X11 startup id (either
  // may be empty).
  void applicationShouldHandleReopen(const QString& activationToken = {},
                                     const QString& startupId = {});
  // With a camera control screen on top, asks its camera whether another program captures 4K.
  void applicationDidBecomeActive();
  void openAppAction();

  // In the demo: the root screen's "Demo" menu runs its lines on the virtual camera.
  void setDemoCommands(std::function<QString(const QString&)> commands) {
    demoCommands_ = std::move(commands);
  }

  MainWindow* window() const { return window_.get(); }
  QSystemTrayIcon* trayIcon() const { return trayIcon_; }
  // Made at launch.
  QSettingsKeeper* keeper() const { return keeper_.get(); }
  SleepWatcher* sleepWatcher() const { return sleepWatcher_.get(); }

  static constexpr int launchDurationMs = 2000;

 private:
  void showRootScreen();
  void checkAppVersion();
  void setUpTrayIcon();
  void startKeeping();
  void keeperGaveUp(const QString& storageKey);

  Platform& platform_;
  QDiagnosticsSupport* diagnostics_;
  // Declared before the window: the screens that use the keeper go first.
  std::unique_ptr<QSettingsKeeper> keeper_;
  std::shared_ptr<SleepWatcher> sleepWatcher_;
  std::unique_ptr<MainWindow> window_;
  QPointer<QSystemTrayIcon> trayIcon_;
  std::function<QString(const QString&)> demoCommands_;
};

}  // namespace vexhal
