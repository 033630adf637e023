#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "../sim/SimTestSupport.h"
#include "ScreenTestSupport.h"
#include "CameraCommand.h"
#include "SimHidDiscovery.h"
#include "SimUvcTransportFactory.h"
#include "VirtualCamera.h"
#include "common/QAlertController.h"
#include "common/QEmptyStateView.h"
#include "common/UiStyle.h"
#include "device/uvc/UVCControlInfo.h"
#include "section/camera_list/QCameraAccess.h"
#include "section/camera_list/QCameraCellView.h"
#include "section/camera_list/QCameraFooterCellView.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/camera_list/QCameraSupportedVC.h"

namespace vexhal {
namespace {

using sim::VirtualCamera;
using test::countLogged;

using sim::test::settle;
using sim::test::waitUntil;

QUVCParams record(QUVCParams::ImageMode mode, std::int64_t b, std::int64_t c, std::int64_t s,
                  std::int64_t sh) {
  return QUVCParams{mode, b, c, s, sh};
}

const std::string kRefreshLine = "CameraList, refreshCameraList(isNeedAsyncUVC:), ";
const std::string kInfoLine = "CameraList, pushCameraInfoVC(_:)";

// Two virtual cameras under the real HID manager and UVC controls, unplugged at first, and a
// settings store of the test's own.
struct CameraListTest : testing::Test, test::TwoCameras {
  CameraListTest() { UVCTransportFactory::install(uvcFactory); }
  ~CameraListTest() override {
    list.reset();
    UVCTransportFactory::install(nullptr);
    QCameraAccess::install(nullptr);
  }

  QDataBase dataBase() const { return QDataBase(dir.filePath(QStringLiteral("settings.ini"))); }

  void openList() {
    list = std::make_unique<QCameraListVC>(manager, dataBase());
    list->setTapClock([this] { return now; });
    list->resize(800, 600);
    list->show();
  }

  QString stateTextAt(int row) const {
    QCameraCellView* cell = list->cellAt(row);
    return cell != nullptr ? cell->stateLabel()->text() : QStringLiteral("<no row>");
  }

  bool allRowsConnected() const {
    for (int row = 0; row < static_cast<int>(list->cameraArr().size()); ++row) {
      if (stateTextAt(row) != QStringLiteral("Connected")) {
        return false;
      }
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
  std::chrono::steady_clock::time_point now{std::chrono::seconds(1000)};
};

TEST_F(CameraListTest, WithoutCamerasTheTableIsEmptyAndTheEmptyStateShows) {
  openList();
  EXPECT_EQ(list->tableView()->rowCount(), 0);
  EXPECT_FALSE(list->tableView()->isVisible());
  EXPECT_TRUE(list->emptyView()->isVisible());
  EXPECT_EQ(list->emptyView()->text(), QStringLiteral("Please Connect Device"));
  EXPECT_EQ(list->emptyView()->pictureName(), QStringLiteral("empty_noCamera"));
  EXPECT_TRUE(test::logged(kRefreshLine + "0"));
}

struct CameraListCountTest : CameraListTest, testing::WithParamInterface<int> {};

// Cameras present when the list opens get a row each, their state, and their stored settings.
TEST_P(CameraListCountTest, RowsFollowTheManagersCamerasWithAFooterLast) {
  const int cameras = GetParam();
  std::vector<VirtualCamera*> plugged{&first, &second};
  plugged.resize(static_cast<std::size_t>(cameras));
  std::int64_t brightness = 90;
  for (VirtualCamera* camera : plugged) {
    ASSERT_TRUE(dataBase().setUVCParams(
        record(QUVCParams::ImageMode::custom, brightness++, 100, 110, 120),
        QString::fromStdString(camera->serialNumber())));
    plug(*camera);
  }
  openList();

  ASSERT_EQ(list->tableView()->rowCount(), cameras + 1);
  EXPECT_TRUE(list->tableView()->isVisible());
  EXPECT_FALSE(list->emptyView()->isVisible());
  for (int row = 0; row < cameras; ++row) {
    ASSERT_NE(list->cellAt(row), nullptr);
    EXPECT_EQ(list->cellAt(row)->nameLabel()->text().toStdString(),
              manager.devices()[static_cast<std::size_t>(row)]->name());
  }
  EXPECT_NE(qobject_cast<QCameraFooterCellView*>(list->tableView()->cellWidget(cameras, 0)),
            nullptr);

  EXPECT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  brightness = 90;
  for (VirtualCamera* camera : plugged) {
    const std::int64_t expected = brightness++;
    EXPECT_TRUE(waitUntil([&] { return uvc(*camera, kUvcBrightness) == expected; }))
        << camera->serialNumber();
    EXPECT_EQ(uvc(*camera, kUvcSharpness), 120);
  }
}

INSTANTIATE_TEST_SUITE_P(Cameras, CameraListCountTest, testing::Values(1, 2));

TEST_F(CameraListTest, AnArrivalRefreshesOnceAndAsksOnlyTheNewCameraForItsSerialNumber) {
  ASSERT_TRUE(dataBase().setUVCParams(record(QUVCParams::ImageMode::custom, 95, 96, 97, 98),
                                      QString::fromStdString(second.serialNumber())));
  plug(first);
  openList();
  ASSERT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  settle();
  const std::size_t refreshes = countLogged(kRefreshLine);
  const std::uint64_t firstReports = first.reportsReceived();

  plug(second);
  ASSERT_EQ(list->tableView()->rowCount(), 3);
  ASSERT_TRUE(waitUntil([&] { return allRowsConnected(); }));
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

TEST_F(CameraListTest, ARemovalAsksEveryRemainingCameraForItsState) {
  plug(first);
  plug(second);
  openList();
  ASSERT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  settle();
  const std::uint64_t firstReports = first.reportsReceived();
  const std::uint64_t secondReports = second.reportsReceived();

  first.unplug();
  ASSERT_TRUE(waitUntil([&] { return list->tableView()->rowCount() == 2; }));
  EXPECT_TRUE(waitUntil([&] { return second.reportsReceived() == secondReports + 1; }));
  settle();
  EXPECT_EQ(second.reportsReceived(), secondReports + 1);
  EXPECT_EQ(first.reportsReceived(), firstReports);
  EXPECT_EQ(list->cameraArr().size(), 1u);
  EXPECT_EQ(stateTextAt(0), QStringLiteral("Connected"));
  EXPECT_TRUE(test::logged("CameraList, usbHidManager(_:didRemove:), "));
}

TEST_F(CameraListTest, AFailedStateReplyLeavesItsRowAlone) {
  plug(first);
  plug(second);
  openList();
  ASSERT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  sim::SimFaults faults;
  faults.errorCodes[sim::kCmdGetState] = 7;
  first.setFaults(faults);
  const std::shared_ptr<USBDevice> device = manager.devices().front();

  second.unplug();  // the refresh asks the first camera again, and it fails
  ASSERT_TRUE(waitUntil([&] { return device->state() == 0; }));
  settle();
  EXPECT_TRUE(test::logged("CameraList, getState, 7, 0"));
  EXPECT_EQ(stateTextAt(0), QStringLiteral("Connected"));
}

// A stored vivid record sends its four values and nothing else; a camera without a record
// keeps all of its values.
TEST_F(CameraListTest, AStoredRecordSendsOnlyItsFourValues) {
  const QUVCParams stored = record(QUVCParams::ImageMode::vivid, 91, 102, 113, 124);
  ASSERT_NE(QUVCParams::preset(QUVCParams::ImageMode::vivid).saturation, stored.saturation);
  ASSERT_TRUE(dataBase().setUVCParams(stored, QString::fromStdString(first.serialNumber())));
  const auto before = first.uvcControls().values();
  const auto secondBefore = second.uvcControls().values();
  openList();

  plug(first);
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

// A camera pads its serial number with zero bytes; its record is found whether it was stored
// under the text without them or, by earlier versions, with them.
struct PaddedSerialTest : CameraListTest, testing::WithParamInterface<bool> {};

TEST_P(PaddedSerialTest, TheStoredRecordOfAZeroPaddedSerialNumberIsSent) {
  const std::string serial("VXK31D26\0\0\0\0\0", 13);
  test::CameraOnManager padded(test::identity(serial, 0x03145000));
  UVCTransportFactory::install(padded.rig.uvcTransportFactory());
  const QString key = GetParam() ? QString::fromUtf8(serial.data(), 13) : QStringLiteral("VXK31D26");
  ASSERT_TRUE(dataBase().setUVCParams(record(QUVCParams::ImageMode::custom, 91, 92, 93, 94), key));
  QCameraListVC paddedList(padded.manager, dataBase());
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
  const std::string givingUp = "CameraList, applyStoredUVCParams(_:), no video-control channel, giving up";
  const std::size_t givenUp = countLogged(givingUp);
  auto late = std::make_shared<sim::SimUvcTransportFactory>();
  UVCTransportFactory::install(late);
  ASSERT_TRUE(dataBase().setUVCParams(record(QUVCParams::ImageMode::custom, 91, 92, 93, 94),
                                      QString::fromStdString(first.serialNumber())));
  openList();
  test::RecordingScheduler scheduler;
  list->setScheduler(scheduler.function<QObject>());
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

TEST_F(CameraListTest, TheRowButtonTakesOneTapPerThreeHundredMilliseconds) {
  sim::SimFaults faults;
  faults.noReply.insert(sim::kCmdGetState);  // no state: the row opens the info screen
  first.setFaults(faults);
  plug(first);
  openList();
  settle();
  ASSERT_EQ(stateTextAt(0), QString());
  QPushButton* button = list->cellAt(0)->cameraBtn();
  const auto taps = [&] { return countLogged(kInfoLine); };
  const std::size_t start = taps();

  struct Step {
    std::chrono::milliseconds advance;
    std::size_t accepted;
  };
  for (const Step& step : {Step{std::chrono::milliseconds(0), 1}, Step{std::chrono::milliseconds(0), 1},
                           Step{std::chrono::milliseconds(299), 1}, Step{std::chrono::milliseconds(1), 2},
                           Step{std::chrono::milliseconds(150), 2}, Step{std::chrono::milliseconds(400), 3}}) {
    now += step.advance;
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(taps() - start, step.accepted) << "after " << step.advance.count() << " ms";
  }
}

// Refused access shows the permission alert, whose "Setting" opens the help; granted access
// neither alerts nor opens the info screen.
TEST_F(CameraListTest, RefusedAccessShowsThePermissionAlertAndSettingOpensTheHelp) {
  bool granted = true;
  QCameraAccess::install([&](const USBDevice&) { return granted; });
  int settingsShown = 0;
  plug(first);
  openList();
  list->setSettingAction([&] { ++settingsShown; });
  ASSERT_TRUE(waitUntil([&] { return allRowsConnected(); }));
  const std::size_t infos = countLogged(kInfoLine);
  QTest::mouseClick(list->cellAt(0)->cameraBtn(), Qt::LeftButton);
  settle();
  EXPECT_EQ(list->permissionAlert(), nullptr);
  EXPECT_EQ(countLogged(kInfoLine), infos);

  granted = false;
  now += std::chrono::seconds(1);  // past the tap throttle
  const std::size_t pushes = countLogged("CameraList, pushCameraControlVC(_:)");
  QTest::mouseClick(list->cellAt(0)->cameraBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return list->permissionAlert() != nullptr; }));
  QAlertController* alert = list->permissionAlert();
  EXPECT_EQ(alert->alertTitle(), QStringLiteral("Unable to use the camera"));
  EXPECT_EQ(alert->alertMessage(),
            QStringLiteral("Please allow Vexhaltools access to your camera in Security and "
                           "Privacy under System Preferences."));
  EXPECT_EQ(test::actionTitles(alert), (QStringList{"Setting", "Cancel"}));
  EXPECT_EQ(countLogged("CameraList, pushCameraControlVC(_:)"), pushes + 1);
  QTest::mouseClick(alert->actions()[0]->button, Qt::LeftButton);
  EXPECT_EQ(settingsShown, 1);
  EXPECT_TRUE(alert->isDismissed());
}

TEST_F(CameraListTest, TheEmptyStateFollowsUnplugAndPlug) {
  plug(first);
  openList();
  for (const bool plugged : {false, true, false}) {
    plugged ? plug(first) : first.unplug();
    ASSERT_TRUE(waitUntil([&] { return list->cameraArr().size() == (plugged ? 1u : 0u); }));
    EXPECT_EQ(list->emptyView()->isVisible(), !plugged);
    EXPECT_EQ(list->tableView()->isVisible(), plugged);
    EXPECT_EQ(list->tableView()->rowCount(), plugged ? 2 : 0);
  }
}

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
  ASSERT_TRUE(dataBase().setUVCParams(record(QUVCParams::ImageMode::custom, 80, 81, 82, 83),
                                      QString::fromStdString(first.serialNumber())));
  const auto before = first.uvcControls().values();
  plug(first);
  openList();
  list.reset();
  settle();
  EXPECT_EQ(first.uvcControls().values(), before);
  EXPECT_FALSE(manager.devices().empty());
}

struct StateCase {
  std::int64_t state;
  const char* text;
  bool warning;  // also: the hint that clicking repairs the firmware
};

struct CameraCellStateTest : testing::TestWithParam<StateCase> {};

TEST_P(CameraCellStateTest, ShowsTheStatesTextAndColour) {
  QCameraCellView cell;
  cell.configure("PICO EDGE", GetParam().state);
  EXPECT_EQ(cell.nameLabel()->text(), QStringLiteral("PICO EDGE"));
  EXPECT_EQ(cell.nameLabel()->textFormat(), Qt::PlainText);  // the camera's text, never markup
  EXPECT_EQ(cell.stateLabel()->text(), QString::fromUtf8(GetParam().text));
  cell.show();
  cell.stateLabel()->ensurePolished();
  const QColor shown = cell.stateLabel()->palette().color(QPalette::WindowText);
  EXPECT_EQ(shown == QCameraCellView::stateColor(2), GetParam().warning);
  EXPECT_GE(ui::contrastRatio(shown, QColor(250, 250, 250)), 4.5);  // on the row's fill
  EXPECT_EQ(cell.repairHintLabel()->isVisibleTo(&cell), GetParam().warning);
}

INSTANTIATE_TEST_SUITE_P(States, CameraCellStateTest,
                         testing::Values(StateCase{0, "", false}, StateCase{1, "Connected", false},
                                         StateCase{2, "Failed", true}, StateCase{3, "", false},
                                         StateCase{-1, "", false}));

}  // namespace
}  // namespace vexhal
