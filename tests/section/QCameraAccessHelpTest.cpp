#include <QMessageBox>

#include <cerrno>

#include "../device/hid/HidTestSupport.h"
#include "common/UiTestSupport.h"
#include "device/hid/USBHidManager.h"
#include "platform/QCameraAccess.h"
#include "section/camera_list/QCameraCellView.h"
#include "section/camera_list/QCameraListVC.h"

namespace vexhal {
namespace {

const std::string kHidraw = "/dev/hidraw3";

// The list over a camera whose control node this user may not open, the udev rule installed: the
// row says so, a tap explains the refused node and "Setting" opens the fix for it; once access
// is granted, the camera is usable without replugging.
using InaccessibleCameraList = test::CameraOnManager;

TEST_F(InaccessibleCameraList, ExplainsTheRefusedNodeAndTakesTheCameraOnceGranted) {
  QTemporaryDir root;
  QDir().mkpath(root.path() + "/usr/lib/udev/rules.d");
  QFile rule(root.path() + "/usr/lib/udev/rules.d/70-vexhaltools.rules");
  ASSERT_TRUE(rule.open(QIODevice::WriteOnly));
  auto system = std::make_shared<QCameraAccessSystem>();
  system->root = root.path();
  Platform platform;
  platform.setAccessSystem(system);
  QSettingsKeeper keeper(platform.uvcTransportFactory(), platform.scheduler(),
                         QDataBase(root.filePath("s.ini")));
  QCameraListVC list(platform, keeper, *manager, QDataBase(root.filePath("s.ini")));
  list.resize(800, 600);
  list.show();
  discovery->attach(kHidraw, EACCES);
  const auto stateText = [&] {
    return list.cellAt(0) ? list.cellAt(0)->stateLabel()->text() : QStringLiteral("<no row>");
  };
  ASSERT_EQ(list.cameraArr().size(), 1U);
  EXPECT_EQ(stateText(), QStringLiteral("No access"));

  QTest::mouseClick(list.cellAt(0)->cameraBtn(), Qt::LeftButton);
  ASSERT_TRUE(test::waitUntil([&] { return list.permissionAlert() != nullptr; }));
  QAlertController* alert = list.permissionAlert();
  EXPECT_TRUE(alert->alertMessage()->contains(QString::fromStdString(kHidraw)));
  EXPECT_EQ(test::actionTitles(alert), (QStringList{"Setting", "Cancel"}));
  test::choose(alert, QStringLiteral("Setting"));
  QMessageBox* help = nullptr;
  ASSERT_TRUE(test::waitUntil([&] { return (help = test::shown<QMessageBox>()) != nullptr; }));
  EXPECT_TRUE(help->informativeText().contains(QStringLiteral("udevadm trigger")));
  EXPECT_EQ(help->window(), list.window());  // a sheet inside the list's window
  help->close();

  discovery->refusals[kHidraw] = 0;
  discovery->change(kHidraw);
  ASSERT_EQ(list.cameraArr().size(), 1U);
  EXPECT_TRUE(list.cameraArr().front()->isOpen());
  test::CameraEnd& camera = discovery->cameras[kHidraw];
  for (const hid_cmd_pack_t& request : camera.requests()) {
    if (request.head.cmd.get() == 0x5000) camera.reply(0x5000, 0);  // getState: ready
  }
  EXPECT_TRUE(test::waitUntil([&] { return stateText() == QStringLiteral("Connected"); }));
  EXPECT_FALSE(QCameraAccess::check(*list.cameraArr().front(), platform));
}

}  // namespace
}  // namespace vexhal
