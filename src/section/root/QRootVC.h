#pragma once

#include <QToolButton>

#include <functional>

#include "common/QViewController.h"
#include "platform/Platform.h"

namespace vexhal {

class AutostartEntry;
class Menu;
class QDiagnosticsSupport;
class QNavigationController;
class QSettingsKeeper;

// The root of the main window: a header with the "more" button and its menu ("About", "Export
// Diagnostics…", "Start at login", "Quit"), in the demo a "Demo" button and its menu, and below
// it the inner stack on which every further screen is pushed.
class QRootVC : public QViewController {
  Q_OBJECT

 public:
  // `keeper` outlives the screen; the camera list tells it of the cameras. `diagnostics`, when
  // given, outlives it too and gives the menu and the about screen their export entry.
  QRootVC(Platform& platform, QSettingsKeeper& keeper, QDiagnosticsSupport* diagnostics = nullptr,
          QWidget* parent = nullptr);

  QWidget* headerView() const { return headerView_; }
  QToolButton* moreBtn() const { return moreBtn_; }
  Menu* myMenu() const { return myMenu_; }
  QNavigationController* navVC() const { return navVC_; }

  void moreBtnAction(QWidget* sender);
  void aboutMenuAction();
  void exportDiagnosticsMenuAction();
  // Writes or removes the program's autostart entry.
  void startAtLoginMenuAction(bool on);
  void exitMenuAction();

  // In the demo: shows the "Demo" button, whose menu plugs and unplugs the virtual camera and
  // gives it faults; `commands` runs one line of its control language ("ok …" or "error …").
  void setDemoCommands(std::function<QString(const QString&)> commands);
  QToolButton* demoBtn() const { return demoBtn_; }
  Menu* demoMenu() const { return demoMenu_; }
  void demoBtnAction();

  // What "Quit" does; the application quits unless a test says otherwise.
  void setQuitHandler(std::function<void()> handler);

  static constexpr int headerHeight = 56;
  // How long after a screen closes its freed memory is handed back to the system.
  static constexpr int kMemoryReleaseDelayMs = 2000;

 private:
  AutostartEntry autostartEntry() const;
  void runDemoCommand(const QString& line);

  QWidget* headerView_;
  QToolButton* moreBtn_;
  Menu* myMenu_;
  QToolButton* demoBtn_;
  Menu* demoMenu_;
  std::function<QString(const QString&)> demoCommands_;
  Platform& platform_;
  QDiagnosticsSupport* diagnostics_;
  QNavigationController* navVC_;
  std::function<void()> quitHandler_;
  bool memoryReleaseDue_ = false;
};

}  // namespace vexhal
