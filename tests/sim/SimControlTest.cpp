// The vexhal-sim tool driving the camera of a running program through its control server.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "SimTestSupport.h"
#include "VirtualCameraRig.h"

namespace vexhal::sim {
namespace {

using test::waitUntil;

// Runs the tool as a user would, keeping the event loop (and so the server) going.
std::pair<int, QString> tool(const QStringList& words) {
  QProcess process;
  process.start(QStringLiteral(VEXHAL_SIM_TOOL), words);
  EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
}

// A program hosting a rig with its control server, as the demo does, in a runtime folder of
// its own (this program's only test, so the folder stays set).
TEST(ServedRig, TheToolFindsTheServerInTheRuntimeFolderAndPlugsAndUnplugsTheCamera) {
  test::ensureCoreApplication();
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  VirtualCameraRig rig;
  ASSERT_TRUE(rig.listen());
  USBHidManager manager(rig.makeDiscovery());
  manager.startMonitoringForVendorID(test::kVendorId, test::kProductId);
  ASSERT_TRUE(waitUntil([&] { return manager.devices().size() == 1; }));

  EXPECT_EQ(tool({"unplug"}), std::make_pair(0, QStringLiteral("ok detached")));
  EXPECT_TRUE(manager.devices().empty());
  EXPECT_EQ(tool({"plug"}).first, 0);
  EXPECT_TRUE(waitUntil([&] { return manager.devices().size() == 1; }));
  EXPECT_EQ(tool({"fault", "bogus"}).first, 1);
  // A folder others may write to could let them replace the socket: it is refused.
  QFile::setPermissions(runtime.path(), QFile::permissions(runtime.path()) | QFile::WriteOther);
  EXPECT_FALSE(rig.listen());
}

}  // namespace
}  // namespace vexhal::sim
