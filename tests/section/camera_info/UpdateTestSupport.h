#pragma once

// The local update service on loopback as the process-wide client's endpoint.

#include "../ScreenTestSupport.h"
#include "UpdateService.h"
#include "common/QNavigationController.h"
#include "common/QViewController.h"
#include "net/RNetManager.h"
#include "net/ServiceEndpoint.h"
#include "section/about/QNetLogForwarder.h"
#include "section/camera_info/QUpgradeVC.h"

namespace vexhal::test {

// Every version check sent so far has had its answer (each logs its GET and then its outcome).
// Tests that end while a check is held back wait for this, so no reply outlives the program.
inline bool versionChecksAnswered() {
  return countLogged("RNetManager, version-check, ") ==
         2 * countLogged("RNetManager, version-check, GET ");
}

// A service on plain HTTP with the shared client and the endpoint texts pointed at it, in a
// temporary home folder (the firmware download goes into its cache folder).
struct LocalUpdateService {
  LocalUpdateService() {
    useTemporaryHome();
    service.listenHttp();
    serviceHost = service.url(QString(), false);
    servicePort = QString::number(service.httpPort());
    QNetLogForwarder::configure(serviceHost, servicePort);
  }
  ~LocalUpdateService() {
    serviceHost = QString::fromLatin1(kDefaultServiceHost);
    servicePort = QString::fromLatin1(kDefaultServicePort);
    RNetManager::share().config(serviceHost, servicePort);
  }
  QString url(const QString& path) const { return service.url(path, false); }
  // Holds every version check back for two seconds.
  void holdVersionChecks() {
    service.setFault(QString::fromLatin1(sim::UpdateService::kVersionCheckPath),
                     sim::UpdateService::Fault::Slow);
    service.setSlowDelay(std::chrono::seconds(2));
  }

  sim::UpdateService service;
};

// The local update service and a stack of screens over a root screen, in a window of its own.
struct ScreenStack {
  ScreenStack() {
    nav.resize(900, 600);
    nav.show();
  }
  ~ScreenStack() {
    if (QUpgradeVC* sheet = shown<QUpgradeVC>()) sheet->closeSheet();
    nav.popToRoot(false);
    processDeferredDeletes();
  }
  bool onRoot() const { return nav.topViewController() == nav.rootViewController(); }
  // Unplugs `camera` while the check that `check` starts waits for the service: the screen on top
  // closes and its busy overlay goes with it.
  void unplugWhileACheckWaits(sim::VirtualCamera& camera, QAbstractButton* check) {
    local.holdVersionChecks();
    QTest::mouseClick(check, Qt::LeftButton);
    ASSERT_NE(QHudOverlay::busyOverlay(&nav), nullptr);
    ASSERT_TRUE(waitUntil([&] { return !local.service.requests().isEmpty(); }));
    camera.unplug();
    ASSERT_TRUE(waitUntil([&] { return onRoot(); }));
    processDeferredDeletes();
    EXPECT_EQ(QHudOverlay::busyOverlay(&nav), nullptr);
    EXPECT_TRUE(waitUntil(versionChecksAnswered));
  }

  LocalUpdateService local;
  QNavigationController nav{new QViewController("RootScreen")};
};

}  // namespace vexhal::test
