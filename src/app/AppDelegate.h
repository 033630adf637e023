#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

#include "platform/Platform.h"

namespace vexhal {

class MainWindow;

// Starts the program and answers application-level events. Start-up: the main window with
// the launch screen, camera monitoring, and 2 s later the root screen in place of the launch
// screen. Reopening (a second launch, the tray icon's "Open") brings the window back.
class AppDelegate : public QObject {
  Q_OBJECT

 public:
  // `platform` outlives the delegate and every screen it shows.
  explicit AppDelegate(Platform& platform, QObject* parent = nullptr);
  ~AppDelegate() override;

  // The application's name and icon; closing the last window does not quit the program.
  static void configureApplication();

  void applicationDidFinishLaunching();
  void applicationShouldHandleReopen();
  // With a camera control screen on top, asks its camera whether another program captures 4K.
  void applicationDidBecomeActive();
  void openAppAction();

  MainWindow* window() const { return window_.get(); }
  QSystemTrayIcon* trayIcon() const { return trayIcon_; }

  static constexpr int launchDurationMs = 2000;

 private:
  void showRootScreen();
  void checkAppVersion();
  void setUpTrayIcon();

  Platform& platform_;
  std::unique_ptr<MainWindow> window_;
  QPointer<QSystemTrayIcon> trayIcon_;
};

}  // namespace vexhal
