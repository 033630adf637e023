#include <gtest/gtest.h>

#include "../sim/SimTestSupport.h"
#include "VirtualCameraRig.h"
#include "app/CameraMonitoring.h"
#include "app/DemoSession.h"
#include "common/QEmptyStateView.h"
#include "common/QNavigationController.h"
#include "device/hid/USBHidManager.h"
#include "device/uvc/UVCTransportFactory.h"
#include "section/camera_list/QCameraAccess.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using sim::test::waitUntil;

// The demo as `vexhaltools --demo` runs it: the process-wide manager finds the virtual camera,
// the home screen lists it, and the control lines of the vexhal-sim tool move it.
TEST(DemoSessionTest, TheHomeScreenListsTheVirtualCameraAndFollowsUnplugAndPlug) {
  DemoSession demo;
  QString error;
  QString notice;
  ASSERT_TRUE(demo.start(&error, &notice)) << error.toStdString();
  startCameraMonitoring();

  QRootVC root;
  root.resize(900, 600);
  root.show();
  auto* list = qobject_cast<QCameraListVC*>(root.navVC()->rootViewController());
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(waitUntil([&] { return list->cameraArr().size() == 1; }));
  EXPECT_EQ(list->tableView()->rowCount(), 2);
  EXPECT_TRUE(QCameraAccess::isGranted(*list->cameraArr().front()));
  // The UVC controls reach the virtual camera too.
  EXPECT_NE(UVCTransportFactory::current()->openByLocation(
                static_cast<std::uint32_t>(demo.rig().camera().locationId())),
            nullptr);

  EXPECT_TRUE(demo.rig().execute(QStringLiteral("unplug")).startsWith(QStringLiteral("ok")));
  ASSERT_TRUE(waitUntil([&] { return list->cameraArr().empty(); }));
  EXPECT_TRUE(list->emptyView()->isVisible());

  EXPECT_TRUE(demo.rig().execute(QStringLiteral("plug")).startsWith(QStringLiteral("ok")));
  ASSERT_TRUE(waitUntil([&] { return list->cameraArr().size() == 1; }));
  EXPECT_FALSE(list->emptyView()->isVisible());

  // The manager exists now: a second demo cannot put its camera under it.
  DemoSession late;
  EXPECT_FALSE(late.start(&error, &notice));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(DemoSession::usageLine().contains(QStringLiteral("unplug")));
}

}  // namespace
}  // namespace vexhal
