#include "app/AppDelegate.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

#include <ostrane/ostrane.h>

#include "app/CameraMonitoring.h"
#include "app/MainWindow.h"
#include "app/QLaunchVC.h"
#include "common/Pictures.h"
#include "common/QNavigationController.h"
#include "device/hid/USBDevice.h"
#include "extension/QHudOverlay.h"
#include "net/RNetManager.h"
#include "net/ServiceEndpoint.h"
#include "platform/SleepWatcher.h"
#include "section/about/QAppVersion.h"
#include "section/about/QNetLogForwarder.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_control/QSettingsKeeper.h"
#include "section/camera_info/QUpgradeVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {

AppDelegate::AppDelegate(Platform& platform, QDiagnosticsSupport* diagnostics, QObject* parent)
    : QObject(parent), platform_(platform), diagnostics_(diagnostics) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::configureApplication() {
  // Settings live in ~/.config/VexhalTools/VexhalTools.conf; without an organization QSettings
  // has no place to write. The desktop file name ties the window to its installed launcher.
  QApplication::setOrganizationName(QStringLiteral("VexhalTools"));
  QApplication::setApplicationName(QStringLiteral("VexhalTools"));
  QApplication::setDesktopFileName(QStringLiteral("org.example.vexhal.VexhalTools"));
  QApplication::setWindowIcon(pictureIcon(QStringLiteral("app_icon")));
  // Closing the window leaves the program running; "Quit" ends it.
  QApplication::setQuitOnLastWindowClosed(false);
}

void AppDelegate::applicationDidFinishLaunching(bool inBackground) {
  startKeeping();
  window_ = std::make_unique<MainWindow>();
  window_->setContentViewController(new QLaunchVC);
  if (!inBackground) {
    window_->show();
  }
  platform_.scheduler()(this, launchDurationMs, [this] { showRootScreen(); });
  startCameraMonitoring();
  QNetLogForwarder::configure(serviceHost, servicePort);
  setUpTrayIcon();
  if (inBackground && !trayIcon_) {
    QLog("App, started in the background without a tray; launching again shows the window");
  }
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) applicationDidBecomeActive();
          });
}

void AppDelegate::applicationDidBecomeActive() {
  auto* outer =
      window_ ? qobject_cast<QNavigationController*>(window_->contentViewController()) : nullptr;
  auto* root = outer ? qobject_cast<QRootVC*>(outer->rootViewController()) : nullptr;
  auto* screen =
      root ? qobject_cast<QCameraControlVC*>(root->navVC()->topViewController()) : nullptr;
  if (screen == nullptr || !screen->device()) {
    return;
  }
  screen->device()->getCaptureInfo(
      [page = QPointer(screen->functionControlVC())](std::int64_t /*code*/, bool capturing4K) {
        if (page) page->handleCaptureInfo(capturing4K);
      });
}

void AppDelegate::applicationShouldHandleReopen(const QString& activationToken,
                                                const QString& startupId) {
  if (window_) {
    window_->makeKeyAndOrderFront(activationToken, startupId);
  }
}

void AppDelegate::openAppAction() {
  if (window_) {
    window_->makeKeyAndOrderFront();
  }
}

void AppDelegate::showRootScreen() {
  if (!window_) {
    return;
  }
  auto* root = new QRootVC(platform_, *keeper_, diagnostics_);
  if (demoCommands_) root->setDemoCommands(demoCommands_);
  window_->setContentViewController(new QNavigationController(root));
  checkAppVersion();
}

void AppDelegate::startKeeping() {
  keeper_ = std::make_unique<QSettingsKeeper>(platform_.uvcTransportFactory(),
                                              platform_.currentScheduler());
  connect(keeper_.get(), &QSettingsKeeper::gaveUp, this, &AppDelegate::keeperGaveUp);
  sleepWatcher_ = platform_.makeSleepWatcher();
  if (sleepWatcher_) {
    // A camera may lose its settings in sleep without going away.
    connect(sleepWatcher_.get(), &SleepWatcher::resumed, keeper_.get(), [keeper = keeper_.get()] {
      QLog("App, woke from sleep, sending the held image settings again");
      keeper->reapplyAll();
    });
  }
}

// Said once per give-up: on the window when it is shown, else in the tray.
void AppDelegate::keeperGaveUp(const QString& storageKey) {
  const QString text = QStringLiteral(
                           "Another program keeps changing the image settings of camera %1; "
                           "they are no longer restored until it is plugged in again.")
                           .arg(storageKey);
  if (window_ && window_->isVisible() && !window_->isMinimized()) {
    QLog("App, keeperGaveUp, told on the window, " + storageKey.toStdString());
    QHudOverlay::showToast(window_.get(), text, platform_.scheduler(), 5.0);
  } else if (trayIcon_) {
    QLog("App, keeperGaveUp, told in the tray, " + storageKey.toStdString());
    trayIcon_->showMessage(QStringLiteral("VexhalTools"), text);
  } else {
    QLog("App, keeperGaveUp, no window and no tray to tell, " + storageKey.toStdString());
  }
}

// Asks once whether a newer program exists; a failure or nothing newer shows nothing.
void AppDelegate::checkAppVersion() {
  if (VEXHAL_UPDATE_CHECKS == 0) {
    return;
  }
  RNetManager::share().needVersionUpgrade(
      QStringLiteral("KVR"), QAppVersion::shortVersion(),
      [window = QPointer<MainWindow>(window_.get()), platform = &platform_](
          const RNetResponse& response, const std::optional<RVersionUpgradeInfo>& answer) {
        if (window && response.ok() && answer && answer->needUpgrade) {
          (new QUpgradeVC(*platform, QAppVersion::displayName(), *answer, true))
              ->present(window->contentViewController());
        }
      });
}

// Where the desktop has a tray, the program stays reachable from it after its window closes;
// elsewhere launching it again brings the window back.
void AppDelegate::setUpTrayIcon() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    return;
  }
  auto* tray = new QSystemTrayIcon(pictureIcon(QStringLiteral("app_icon")), this);
  tray->setToolTip(QStringLiteral("VexhalTools"));
  auto* menu = new QMenu(window_.get());
  connect(menu->addAction(QStringLiteral("Open")), &QAction::triggered, this,
          &AppDelegate::openAppAction);
  connect(menu->addAction(QStringLiteral("Quit")), &QAction::triggered, qApp, &QApplication::quit);
  tray->setContextMenu(menu);
  connect(tray, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
              openAppAction();
            }
          });
  tray->show();
  trayIcon_ = tray;
}

}  // namespace vexhal
