// The function page on the virtual camera under the real HID link: what it shows after loading,
// and that the user's clicks reach the camera (the rules behind them are the model's).
#include <QRadioButton>

#include "../ScreenTestSupport.h"
#include "CameraCommand.h"
#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "section/camera_control/QCameraFunctionControlVC.h"

namespace vexhal {
namespace {

using sim::CameraFunctions;
using test::settle;
using test::waitUntil;

void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
QAbstractButton* item(QSegmentedControl* segment, int index) {
  return segment->findChildren<QAbstractButton*>().at(index);
}

struct FunctionPage : ::testing::Test {
  // Puts the camera in `state` over the HID link before the page exists.
  void prepare(const CameraFunctions& state) {
    const auto ignore = [](std::int64_t) {};
    cam.device->setAutoFraming(state.autoFraming, ignore);
    cam.device->setFrameMaster(state.frameMaster, ignore);
    cam.device->setAutoFramingMode(state.autoFramingMode, ignore);
    cam.device->setAngle(state.angle, ignore);
    cam.device->setHMirror(state.hMirror, ignore);
    cam.device->setPickup(state.pickup, ignore);
    ASSERT_TRUE(waitUntil([&] { return cam.first.functions() == state; }));
  }
  void open() {
    page = std::make_unique<QCameraFunctionControlVC>(cam.device, cam.platform.scheduler());
    page->resize(420, 640);
    page->show();
    ASSERT_TRUE(waitUntil([&] { return page->model().isLoaded(); }));
  }
  bool cameraHas(const CameraFunctions& state) {
    return waitUntil([&] { return cam.first.functions() == state; });
  }

  test::Cameras cam;
  std::unique_ptr<QCameraFunctionControlVC> page;
};

// A lost reply keeps the page loading, showing nothing the camera did not report, until the read
// fails with the command timeout and the page opens with framing off.
TEST_F(FunctionPage, ALostReadKeepsThePageLoadingUntilItTimesOutAsAFailedRead) {
  prepare(CameraFunctions{false, 0, false, 60, false, 30});
  sim::SimFaults faults;
  faults.noReply.insert(sim::kCmdGetAutoFraming);
  cam.first.setFaults(faults);
  cam.device->setCommandReplyTimeout(std::chrono::milliseconds(300));
  const auto before = cam.first.reportsReceived();
  page = std::make_unique<QCameraFunctionControlVC>(cam.device, cam.platform.scheduler());
  page->show();
  ASSERT_TRUE(waitUntil([&] { return cam.first.reportsReceived() == before + 6; }));
  settle();
  EXPECT_FALSE(page->intelligentSwitch()->isEnabled());
  EXPECT_FALSE(page->intelligentSwitch()->isChecked());
  ASSERT_TRUE(waitUntil([&] { return page->model().isLoaded(); }));
  EXPECT_TRUE(page->intelligentSwitch()->isEnabled());
  EXPECT_FALSE(page->intelligentSwitch()->isChecked());
}

// The page shows what the camera holds; clicks reach the camera and the rows follow, also while
// another program captures in 4K.
TEST_F(FunctionPage, ClicksReachTheCameraAndResetAndSaveFollow) {
  prepare(CameraFunctions{false, 0, false, 60, false, 80});
  open();
  EXPECT_FALSE(page->intelligentSwitch()->isChecked());
  EXPECT_TRUE(page->autoFramingGroup()->isHidden());
  EXPECT_TRUE(page->angleSegment()->isEnabled());
  EXPECT_EQ(page->angleSegment()->selectedIndex(), 0);
  EXPECT_EQ(page->pickupSegment()->selectedIndex(), 2);
  click(item(page->pickupSegment(), 1));
  click(page->intelligentSwitch());
  EXPECT_TRUE(cameraHas(CameraFunctions{true, 0, false, 120, false, 50}));
  EXPECT_FALSE(page->angleSegment()->isEnabled());
  settle();
  const auto reports = cam.first.reportsReceived();
  click(page->autoFramingBtn());  // already selected: stays, sends nothing
  settle();
  EXPECT_EQ(cam.first.reportsReceived(), reports);
  EXPECT_TRUE(page->autoFramingBtn()->isChecked());
  click(page->singleModeBtn());
  click(page->pepleBoxBtn());
  EXPECT_TRUE(cameraHas(CameraFunctions{false, 1, true, 120, false, 50}));
  EXPECT_TRUE(page->modeButtonsRow()->isHidden());
  click(page->intelligentSwitch());
  click(item(page->angleSegment(), 1));
  click(item(page->pickupSegment(), 2));
  click(page->hMirrorSwitch());
  EXPECT_TRUE(cameraHas(CameraFunctions{false, 1, false, 90, true, 80}));
  EXPECT_TRUE(page->autoFramingGroup()->isHidden());

  page->resetParams();
  EXPECT_TRUE(cameraHas(CameraFunctions{}));
  EXPECT_TRUE(page->intelligentSwitch()->isChecked());
  EXPECT_TRUE(page->autoFramingBtn()->isChecked());
  EXPECT_EQ(page->angleSegment()->selectedIndex(), 2);
  EXPECT_EQ(page->pickupSegment()->selectedIndex(), 1);
  page->markSaved();
  EXPECT_FALSE(page->model().hasChanges());
  page->restoreParams();
  settle();
  EXPECT_EQ(cam.first.functions(), CameraFunctions{}) << "the saved values are the baseline now";

  // While another program captures in 4K, 60 degrees is still sent, with the notice.
  click(page->intelligentSwitch());
  page->handleCaptureInfo(true);
  ASSERT_NE(QHudOverlay::toast(page->window()), nullptr);
  QHudOverlay::toast(page->window())->hideAnimated(false);
  click(item(page->angleSegment(), 0));
  EXPECT_TRUE(waitUntil([&] { return cam.first.functions().angle == 60; }));
  EXPECT_EQ(
      test::toastText(page->window()),
      QString::fromUtf8(
          "Other apps are using 4k images, \n\"Roomwise AI\" and  \"60° FOV\" not able\nto use."));
}

TEST_F(FunctionPage, RepliesReachingAClosedPageAreDroppedAndTheNextPageLoads) {
  prepare(CameraFunctions{false, 1, false, 90, true, 80});
  page = std::make_unique<QCameraFunctionControlVC>(cam.device, cam.platform.scheduler());
  page.reset();
  settle();
  open();
  EXPECT_EQ(*page->model().cameraParams(), (QHIDParams{false, 1, false, 90, true, 80}));
}

}  // namespace
}  // namespace vexhal
