#include "ScreenTestSupport.h"
#include "CameraCommand.h"
#include "SimUvcTransportFactory.h"
#include "common/QEmptyStateView.h"
#include "common/UiStyle.h"
#include "device/uvc/UVCControlInfo.h"
#include "section/camera_list/QCameraCellView.h"
#include "section/camera_list/QCameraFooterCellView.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/camera_list/QCameraSupportedVC.h"

namespace vexhal {
namespace {

using sim::VirtualCamera;
using test::countLogged;
using test::settle;
using test::waitUntil;
using Mode = QUVCParams::ImageMode;

const std::string kRefreshLine = "CameraList, refreshCameraList(isNeedAsyncUVC:), ";

// Two virtual cameras under the real HID manager and UVC controls, unplugged at first, and a
// settings store of the test's own.
struct CameraListTest : testing::Test, test::TwoCameras {
  CameraListTest() { platform.setUvcTransportFactory(uvcFactory); }

  QDataBase dataBase() const { return QDataBase(dir.filePath(QStringLiteral("settings.ini"))); }
  void store(const VirtualCamera& camera, const QUVCParams& values) {
    ASSERT_TRUE(dataBase().setUVCParams(values, QString::fromStdString(camera.serialNumber())));
  }
  void openList() {
    list = std::make_unique<QCameraListVC>(platform, manager, dataBase());
    list->resize(800, 600);
    list->show();
  }
  QString stateTextAt(int row) const {
    return list->cellAt(row) != nullptr ? list->cellAt(row)->stateLabel()->text()
                                        : QStringLiteral("<no row>");
  }
  bool allRowsConnected() const {
    for (int row = 0; row < static_cast<int>(list->cameraArr().size()); ++row) {
      if (stateTextAt(row) != QStringLiteral("Connected")) return false;
    }
    return true;
  }
  static std::int64_t uvc(const VirtualCamera& camera, const UVCControlInfo& control) {
    return camera.uvcControls().value(control).value_or(-1);
  }

  QTemporaryDir dir;
  std::shared_ptr<sim::SimUvcTransportFactory> uvcFactory =
      std::make_shared<sim::SimUvcTransportFactory>(std::vector<VirtualCamera*>{&first, &second});
  std::unique_ptr<QCameraListVC> list;
};

// Rows follow the manager's cameras with a footer last; without cameras the empty state shows.
TEST_F(CameraListTest, RowsAndTheEmptyStateFollowPlugAndUnplug) {
  openList();
  EXPECT_TRUE(test::logged(kRefreshLine + "0"));
  EXPECT_EQ(list->emptyView()->text(), QStringLiteral("Please Connect Device"));
  for (const int cameras : {0, 1, 2, 1, 0}) {
    const int now = static_cast<int>(manager.devices().size());
    if (cameras > now) plug(cameras == 1 ? first : second);
    if (cameras < now) (now == 2 ? second : first).unplug();
    ASSERT_TRUE(waitUntil([&] { return static_cast<int>(list->cameraArr().size()) == cameras; }));
    EXPECT_EQ(list->emptyView()->isVisible(), cameras == 0);
    EXPECT_EQ(list->tableView()->isVisible(), cameras > 0);
    EXPECT_EQ(list->tableView()->rowCount(), cameras == 0 ? 0 : cameras + 1);
    if (cameras == 0) continue;
    EXPECT_NE(qobject_cast<QCameraFooterCellView*>(list->tableView()->cellWidget(cameras, 0)),
              nullptr);
    for (int row = 0; row < cameras; ++row) {
      EXPECT_EQ(list->cellAt(row)->nameLabel()->text().toStdString(),
                manager.devices()[static_cast<std::size_t>(row)]->name());
    }
    EXPECT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  }
}

// A stored record sends its four values (not its mode's preset) and nothing else, to cameras
// present at the start and to arrivals; a camera without a record keeps all of its values.
TEST_F(CameraListTest, AStoredRecordSendsOnlyItsFourValues) {
  const QUVCParams stored{Mode::vivid, 91, 102, 113, 124};
  ASSERT_NE(QUVCParams::preset(Mode::vivid).saturation, stored.saturation);
  store(first, stored);
  const auto before = first.uvcControls().values();
  const auto secondBefore = second.uvcControls().values();
  plug(first);
  openList();
  plug(second);
  ASSERT_TRUE(waitUntil([&] { return uvc(first, kUvcSharpness) == 124 && allRowsConnected(); }));
  settle();
  EXPECT_EQ(uvc(first, kUvcBrightness), 91);
  EXPECT_EQ(uvc(first, kUvcContrast), 102);
  EXPECT_EQ(uvc(first, kUvcSaturation), 113);
  auto after = first.uvcControls().values();
  for (const UVCControlInfo& sent : {kUvcBrightness, kUvcContrast, kUvcSaturation, kUvcSharpness}) {
    after[{sent.unit, sent.selector}] = before.at({sent.unit, sent.selector});
  }
  EXPECT_EQ(after, before);
  EXPECT_EQ(second.uvcControls().values(), secondBefore);
}

TEST_F(CameraListTest, AnArrivalRefreshesOnceAndAsksOnlyTheNewCameraForItsSerialNumber) {
  store(second, {Mode::custom, 95, 96, 97, 98});
  plug(first);
  openList();
  ASSERT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  settle();
  const std::size_t refreshes = countLogged(kRefreshLine);
  const std::uint64_t firstReports = first.reportsReceived();
  plug(second);
  ASSERT_TRUE(waitUntil([&] { return list->tableView()->rowCount() == 3 && allRowsConnected(); }));
  ASSERT_TRUE(waitUntil([&] { return uvc(second, kUvcSharpness) == 98; }));
  settle();
  EXPECT_EQ(countLogged(kRefreshLine), refreshes + 1);
  EXPECT_TRUE(test::logged("CameraList, usbHidManager(_:didAttach:), " +
                           manager.devices()[1]->name() + ", " + std::to_string(0x03143000)));
  // The camera already listed is asked for its state alone; the new one for its state and,
  // once, its serial number.
  EXPECT_EQ(first.reportsReceived(), firstReports + 1);
  EXPECT_EQ(second.reportsReceived(), 2u);
  EXPECT_EQ(uvc(second, kUvcBrightness), 95);
}

// A removal asks every remaining camera for its state; a failed state reply leaves its row alone.
TEST_F(CameraListTest, ARemovalAsksTheRemainingCameraForItsStateAndAFailedReplyChangesNothing) {
  plug(first);
  plug(second);
  openList();
  ASSERT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  settle();
  first.setFaults(test::failing(sim::kCmdGetState, 7));
  const std::uint64_t firstReports = first.reportsReceived();
  const std::uint64_t secondReports = second.reportsReceived();
  second.unplug();
  ASSERT_TRUE(waitUntil([&] { return manager.devices().front()->state() == 0; }));
  settle();
  EXPECT_EQ(first.reportsReceived(), firstReports + 1);
  EXPECT_EQ(second.reportsReceived(), secondReports);
  EXPECT_TRUE(test::logged("CameraList, usbHidManager(_:didRemove:), "));
  EXPECT_TRUE(test::logged("CameraList, getState, 7, 0"));
  EXPECT_EQ(list->cameraArr().size(), 1u);
  EXPECT_EQ(stateTextAt(0), QStringLiteral("Connected"));
}

// A camera pads its serial number with zero bytes; its record is found whether it was stored
// under the text without them or, by earlier versions, with them.
struct PaddedSerialTest : CameraListTest, testing::WithParamInterface<bool> {};

TEST_P(PaddedSerialTest, TheStoredRecordOfAZeroPaddedSerialNumberIsSent) {
  const std::string serial("VXK31D26\0\0\0\0\0", 13);
  test::CameraOnManager padded(test::identity(serial, 0x03145000));
  const QString key =
      GetParam() ? QString::fromUtf8(serial.data(), 13) : QStringLiteral("VXK31D26");
  ASSERT_TRUE(dataBase().setUVCParams({Mode::custom, 91, 92, 93, 94}, key));
  QCameraListVC paddedList(padded.platform, padded.manager, dataBase());
  EXPECT_TRUE(waitUntil([&] { return uvc(padded.camera(), kUvcSharpness) == 94; }));
}

INSTANTIATE_TEST_SUITE_P(Keys, PaddedSerialTest, testing::Values(false, true),
                         [](const auto& key) { return key.param ? "Padded" : "Trimmed"; });

// The video-control channel can appear after the HID side: the stored settings are tried again
// every second, ten times, and then given up with a log line.
struct LateChannelTest : CameraListTest, testing::WithParamInterface<int> {};

TEST_P(LateChannelTest, StoredSettingsWaitForTheVideoControlChannel) {
  const int appearsAfter = GetParam();  // retries run before the channel appears
  const bool appears = appearsAfter < QCameraListVC::kApplyRetries;
  const std::string givingUp =
      "CameraList, applyStoredUVCParams(_:), no video-control channel, giving up";
  const std::size_t givenUp = countLogged(givingUp);
  auto late = std::make_shared<sim::SimUvcTransportFactory>();
  platform.setUvcTransportFactory(late);
  store(first, {Mode::custom, 91, 92, 93, 94});
  openList();
  test::RecordingScheduler scheduler;
  platform.setScheduler(scheduler.function<QObject>());
  plug(first);
  ASSERT_TRUE(waitUntil([&] { return !scheduler.tasks->empty(); }));
  int ran = 0;
  for (; ran < static_cast<int>(scheduler.tasks->size()); ++ran) {
    EXPECT_EQ(scheduler.tasks->at(ran).ms, 1000);
    if (ran == appearsAfter) late->addCamera(first);
    const std::function<void()> task = scheduler.tasks->at(ran).run;
    task();
  }
  EXPECT_EQ(ran, appears ? appearsAfter + 1 : QCameraListVC::kApplyRetries);
  EXPECT_EQ(uvc(first, kUvcSharpness) == 94, appears);
  EXPECT_EQ(countLogged(givingUp), givenUp + (appears ? 0 : 1));
}

INSTANTIATE_TEST_SUITE_P(Retries, LateChannelTest, testing::Values(0, 9, 10), [](const auto& row) {
  return row.param == 0 ? "AtTheFirstRetry" : row.param == 9 ? "AtTheLastRetry" : "Never";
});

TEST_F(CameraListTest, TheFooterOpensTheSupportedDevicesSheetOverTheList) {
  plug(first);
  openList();
  auto* footer = qobject_cast<QCameraFooterCellView*>(list->tableView()->cellWidget(1, 0));
  ASSERT_NE(footer, nullptr);
  QTest::mouseClick(footer->supportBtn(), Qt::LeftButton);
  auto* sheet = list->findChild<QCameraSupportedVC*>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->geometry(), list->rect());
  EXPECT_TRUE(test::logged("CameraList, supportBtnAction(_:)"));
}

TEST_F(CameraListTest, RepliesAfterTheListHasGoneAreIgnored) {
  store(first, {Mode::custom, 80, 81, 82, 83});
  const auto before = first.uvcControls().values();
  plug(first);
  openList();
  list.reset();
  settle();
  EXPECT_EQ(first.uvcControls().values(), before);
  EXPECT_FALSE(manager.devices().empty());
}

// Each state's text and colour; a failed camera's row also says that clicking repairs it.
TEST(CameraCellStateTest, ShowsTheStatesTextAndColour) {
  const struct {
    std::int64_t state;
    const char* text;
    bool warning;
  } rows[] = {{0, "", false},
              {1, "Connected", false},
              {2, "Failed", true},
              {3, "", false},
              {-1, "", false}};
  for (const auto& row : rows) {
    QCameraCellView cell;
    cell.configure("PICO EDGE", row.state);
    EXPECT_EQ(cell.nameLabel()->text(), QStringLiteral("PICO EDGE"));
    EXPECT_EQ(cell.nameLabel()->textFormat(), Qt::PlainText);  // the camera's text, never markup
    EXPECT_EQ(cell.stateLabel()->text(), QString::fromUtf8(row.text));
    cell.show();
    cell.stateLabel()->ensurePolished();
    const QColor shown = cell.stateLabel()->palette().color(QPalette::WindowText);
    EXPECT_EQ(shown == QCameraCellView::stateColor(2), row.warning) << row.state;
    EXPECT_GE(ui::contrastRatio(shown, QColor(250, 250, 250)), 4.5)
        << row.state;  // on the row's fill
    EXPECT_EQ(cell.repairHintLabel()->isVisibleTo(&cell), row.warning) << row.state;
  }
}

}  // namespace
}  // namespace vexhal
