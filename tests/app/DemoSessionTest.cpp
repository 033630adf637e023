#include <QFile>

#include "FirmwareImage.h"
#include "VirtualCameraRig.h"
#include "app/CameraMonitoring.h"
#include "app/DemoSession.h"
#include "common/QEmptyStateView.h"
#include "common/QNavigationController.h"
#include "common/UiTestSupport.h"
#include "device/uvc/UVCTransportFactory.h"
#include "net/RNetManager.h"
#include "net/ServiceEndpoint.h"
#include "platform/QCameraAccess.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::waitUntil;

// The demo as `vexhaltools --demo` runs it: the process-wide manager finds the virtual camera,
// the home screen lists it, and the control lines of the vexhal-sim tool move it.
TEST(DemoSessionTest, TheHomeScreenListsTheVirtualCameraAndFollowsUnplugAndPlug) {
  DemoSession demo;
  QString error;
  QString notice;
  ASSERT_TRUE(demo.start(&error, &notice)) << error.toStdString();
  startCameraMonitoring();

  QRootVC root(demo.platform());
  root.resize(900, 600);
  root.show();
  auto* list = qobject_cast<QCameraListVC*>(root.navVC()->rootViewController());
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(waitUntil([&] { return list->cameraArr().size() == 1; }));
  EXPECT_EQ(list->tableView()->rowCount(), 2);
  EXPECT_FALSE(QCameraAccess::check(*list->cameraArr().front(), demo.platform()));
  // The UVC controls reach the virtual camera too.
  EXPECT_NE(demo.platform().uvcTransportFactory().openByLocation(
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

// The demo's update service offers the virtual camera a newer firmware, as an image the camera
// accepts, and nothing newer once it is installed or for the program itself.
TEST(DemoSessionTest, TheLocalServiceOffersTheCameraANewerFirmwareItAccepts) {
  DemoSession demo;
  QString notice;
  ASSERT_TRUE(demo.startUpdateService(&notice)) << notice.toStdString();
  EXPECT_TRUE(serviceHost.startsWith(QStringLiteral("http://127.0.0.1:")));
  RNetManager client;
  client.config(serviceHost, servicePort);
  const auto check = [&](const QString& product, const QString& version) {
    std::optional<RVersionUpgradeInfo> answer;
    bool done = false;
    client.needVersionUpgrade(
        product, version, [&](const RNetResponse&, const std::optional<RVersionUpgradeInfo>& data) {
          answer = data;
          done = true;
        });
    waitUntil([&] { return done; });
    return answer;
  };
  const auto offer = check(QStringLiteral("VX-K31D"), QStringLiteral("1.0.6"));
  ASSERT_TRUE(offer && offer->needUpgrade);
  EXPECT_EQ(offer->version, QStringLiteral("1.1.0"));
  EXPECT_FALSE(check(QStringLiteral("VX-K31D"), QStringLiteral("1.1.0"))->needUpgrade);
  EXPECT_FALSE(check(QStringLiteral("KVR"), QStringLiteral("1.0.0"))->needUpgrade);

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("firmware.bin"));
  std::optional<RNetResponse> result;
  client.download(offer->downLoadUrl, path, nullptr, [&](const RNetResponse& r) { result = r; });
  ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
  ASSERT_EQ(result->code, 0);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const sim::FirmwareImageCheck image = sim::checkFirmwareImage(file.readAll());
  EXPECT_TRUE(image.ok());
  EXPECT_EQ(image.version, (sim::FirmwareVersion{1, 1, 0}));
  serviceHost = QString::fromLatin1(kDefaultServiceHost);
  servicePort = QString::fromLatin1(kDefaultServicePort);
}

}  // namespace
}  // namespace vexhal
