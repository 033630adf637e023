#include "ScreenTestSupport.h"
#include "common/QEmptyStateView.h"
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

// Two virtual cameras, unplugged at first, and a settings store of the test's own.
struct CameraListTest : testing::Test, test::Cameras {
  CameraListTest() : Cameras(false) {}

  QDataBase dataBase() const { return QDataBase(dir.filePath(QStringLiteral("settings.ini"))); }
  void store(const VirtualCamera& camera, const QUVCParams& values) {
    ASSERT_TRUE(dataBase().setUVCParams(values, QString::fromStdString(camera.serialNumber())));
  }
  void openList() {
    list.reset();
    keeper = std::make_unique<QSettingsKeeper>(platform.uvcTransportFactory(),
                                               platform.currentScheduler(), dataBase());
    list = std::make_unique<QCameraListVC>(platform, *keeper, manager, dataBase());
    list->resize(800, 600);
    list->show();
  }
  bool allRowsConnected() const {
    for (int row = 0; row < static_cast<int>(list->cameraArr().size()); ++row) {
      if (list->cellAt(row)->stateLabel()->text() != QStringLiteral("Connected")) return false;
    }
    return true;
  }
  static std::int64_t onCamera(const VirtualCamera& camera, const UVCControlInfo& control) {
    return camera.uvcControls().value(control).value_or(-1);
  }

  QTemporaryDir dir;
  std::unique_ptr<QSettingsKeeper> keeper;  // outlives the list, as the program's does
  std::unique_ptr<QCameraListVC> list;
};

// Rows follow the manager's cameras with a footer last; without cameras the empty state shows.
TEST_F(CameraListTest, RowsAndTheEmptyStateFollowPlugAndUnplug) {
  openList();
  EXPECT_EQ(list->emptyView()->text(), QStringLiteral("Please Connect Device"));
  for (const int cameras : {0, 1, 2, 1, 0}) {
    const int now = static_cast<int>(manager.devices().size());
    if (cameras > now) plug(cameras == 1 ? first : second);
    if (cameras < now) (now == 2 ? second : first).unplug();
    ASSERT_TRUE(waitUntil([&] { return static_cast<int>(list->cameraArr().size()) == cameras; }));
    EXPECT_EQ(list->emptyView()->isVisible(), cameras == 0);
    EXPECT_EQ(list->tableView()->rowCount(), cameras == 0 ? 0 : cameras + 1);
    if (cameras == 0) continue;
    EXPECT_NE(qobject_cast<QCameraFooterCellView*>(list->tableView()->cellWidget(cameras, 0)),
              nullptr);
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
  ASSERT_TRUE(
      waitUntil([&] { return onCamera(first, kUvcSharpness) == 124 && allRowsConnected(); }));
  settle();
  EXPECT_EQ(onCamera(first, kUvcBrightness), 91);
  EXPECT_EQ(onCamera(first, kUvcContrast), 102);
  EXPECT_EQ(onCamera(first, kUvcSaturation), 113);
  auto after = first.uvcControls().values();
  for (const UVCControlInfo& sent : {kUvcBrightness, kUvcContrast, kUvcSaturation, kUvcSharpness}) {
    after[{sent.unit, sent.selector}] = before.at({sent.unit, sent.selector});
  }
  EXPECT_EQ(after, before);
  EXPECT_EQ(second.uvcControls().values(), secondBefore);
}

// The list hands each arriving camera to the settings keeper: another program's change is undone.
TEST_F(CameraListTest, AnotherProgramsChangeIsSetBackToTheStoredRecord) {
  platform.setScheduler(test::immediateScheduler());
  store(first, {Mode::custom, 91, 102, 113, 124});
  plug(first);
  openList();
  ASSERT_TRUE(waitUntil([&] { return onCamera(first, kUvcSharpness) == 124; }));
  UVCCameraControl(static_cast<std::uint32_t>(first.locationId()), *uvc).setBrightness(150);
  EXPECT_TRUE(waitUntil([&] { return onCamera(first, kUvcBrightness) == 91; }));
}

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
  EXPECT_EQ(onCamera(first, kUvcSharpness) == 94, appears);
  EXPECT_EQ(countLogged(givingUp), givenUp + (appears ? 0 : 1));
}

INSTANTIATE_TEST_SUITE_P(Retries, LateChannelTest, testing::Values(9, 10));

TEST_F(CameraListTest, TheFooterOpensTheSupportedModelsOverTheList) {
  plug(first);
  openList();
  auto* footer = qobject_cast<QCameraFooterCellView*>(list->tableView()->cellWidget(1, 0));
  ASSERT_NE(footer, nullptr);
  QTest::mouseClick(footer->supportBtn(), Qt::LeftButton);
  auto* sheet = list->window()->findChild<QCameraSupportedVC*>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->geometry(), list->window()->rect());
  QStringList names;
  for (QWidget* row : sheet->findChildren<QWidget*>(QStringLiteral("supportedRow")))
    names << row->findChild<QLabel*>(QStringLiteral("deviceName"))->text();
  EXPECT_EQ(names, (QStringList{"PICO EDGE", "Halden Desk"}));
  // The keyboard is in the sheet, and Escape closes it.
  ASSERT_TRUE(sheet->isAncestorOf(list->window()->focusWidget()));
  QTest::keyClick(list->window()->focusWidget(), Qt::Key_Escape);
  ASSERT_NE(sheet->fadeAnimation(), nullptr);
  EXPECT_EQ(sheet->fadeAnimation()->endValue().toReal(), 0.0);
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

// A failed camera's row says so in the warning colour and that clicking repairs it; the name is
// the camera's text, never markup.
TEST(CameraCellStateTest, AFailedCameraShowsTheWarningAndTheRepairHint) {
  for (const std::int64_t state : {1, 2}) {
    QCameraCellView cell;
    cell.configure("PICO EDGE", state);
    cell.show();
    EXPECT_EQ(cell.nameLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(cell.stateLabel()->text(),
              state == 1 ? QStringLiteral("Connected") : QStringLiteral("Failed"));
    EXPECT_EQ(
        cell.stateLabel()->palette().color(QPalette::WindowText) == QCameraCellView::stateColor(2),
        state == 2);
    EXPECT_EQ(cell.repairHintLabel()->isVisibleTo(&cell), state == 2);
  }
}

}  // namespace
}  // namespace vexhal
