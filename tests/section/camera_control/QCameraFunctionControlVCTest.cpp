// The function page on the virtual camera under the real HID link: what it shows after loading,
// and that the user's clicks reach the camera (the rules behind them are the model's).
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

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

CameraFunctions functions(bool autoFraming, int mode, bool frameMaster, int angle, bool mirror,
                          int pickup) {
  return {autoFraming, static_cast<std::int8_t>(mode),
          frameMaster, static_cast<std::int8_t>(angle),
          mirror,      static_cast<std::int8_t>(pickup)};
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
    ASSERT_TRUE(waitUntil([&] { return cam.camera().functions() == state; }));
  }
  void open() {
    page = std::make_unique<QCameraFunctionControlVC>(cam.device, cam.platform.scheduler());
    page->resize(420, 640);
    page->show();
    ASSERT_TRUE(waitUntil([&] { return page->model().isLoaded(); }));
  }
  bool cameraHas(const CameraFunctions& state) {
    return waitUntil([&] { return cam.camera().functions() == state; });
  }

  test::CameraOnManager cam;
  std::unique_ptr<QCameraFunctionControlVC> page;
};

struct LoadCase {
  const char* name;
  CameraFunctions camera;
  bool intelligent, modeButtonsShown, singleMode, peopleBox;
  int angleItem, pickupItem;
};

class FunctionPageLoad : public FunctionPage, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(FunctionPageLoad, ShowsTheCameraValues) {
  const LoadCase& c = GetParam();
  prepare(c.camera);
  open();
  EXPECT_EQ(page->intelligentSwitch()->isChecked(), c.intelligent);
  EXPECT_EQ(page->autoFramingGroup()->isHidden(), !c.intelligent);
  EXPECT_EQ(page->peopleBoxRow()->isHidden(), !c.intelligent);
  EXPECT_EQ(page->modeButtonsRow()->isHidden(), !c.modeButtonsShown);
  EXPECT_EQ(page->singleModeBtn()->isChecked(), c.singleMode);
  EXPECT_EQ(page->meetingModeBtn()->isChecked(), !c.singleMode);
  EXPECT_EQ(page->pepleBoxBtn()->isChecked(), c.peopleBox);
  EXPECT_EQ(page->angleSegment()->selectedIndex(), c.angleItem);
  EXPECT_EQ(page->angleSegment()->isEnabled(), !c.intelligent);
  EXPECT_EQ(page->hMirrorSwitch()->isChecked(), c.camera.hMirror);
  EXPECT_EQ(page->pickupSegment()->selectedIndex(), c.pickupItem);
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, FunctionPageLoad,
    ::testing::Values(LoadCase{"Factory", functions(true, 0, false, 120, false, 50), true, true,
                               false, false, 2, 1},
                      LoadCase{"PeopleBox", functions(false, 1, true, 120, true, 80), true, false,
                               true, true, 2, 2},
                      LoadCase{"Off", functions(false, 0, false, 60, false, 30), false, false,
                               false, false, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// A lost reply keeps the page loading, showing nothing the camera did not report, until the read
// fails with the command timeout and the page opens with framing off.
TEST_F(FunctionPage, ALostReadKeepsThePageLoadingUntilItTimesOutAsAFailedRead) {
  prepare(functions(false, 0, false, 60, false, 30));
  sim::SimFaults faults;
  faults.noReply.insert(sim::kCmdGetAutoFraming);
  cam.camera().setFaults(faults);
  cam.device->setCommandReplyTimeout(std::chrono::milliseconds(300));
  const auto before = cam.camera().reportsReceived();
  page = std::make_unique<QCameraFunctionControlVC>(cam.device, cam.platform.scheduler());
  page->show();
  ASSERT_TRUE(waitUntil([&] { return cam.camera().reportsReceived() == before + 6; }));
  settle();
  EXPECT_FALSE(page->model().isLoaded());
  EXPECT_FALSE(page->intelligentSwitch()->isEnabled());
  EXPECT_FALSE(page->intelligentSwitch()->isChecked());
  ASSERT_TRUE(waitUntil([&] { return page->model().isLoaded(); }));
  EXPECT_TRUE(page->intelligentSwitch()->isEnabled());
  EXPECT_FALSE(page->intelligentSwitch()->isChecked());
}

TEST_F(FunctionPage, ClicksReachTheCameraAndResetAndSaveFollow) {
  prepare(functions(false, 0, false, 60, false, 50));
  open();
  click(page->intelligentSwitch());
  EXPECT_TRUE(cameraHas(functions(true, 0, false, 120, false, 50)));
  EXPECT_FALSE(page->angleSegment()->isEnabled());
  settle();
  const auto reports = cam.camera().reportsReceived();
  click(page->autoFramingBtn());  // already selected: stays, sends nothing
  settle();
  EXPECT_EQ(cam.camera().reportsReceived(), reports);
  EXPECT_TRUE(page->autoFramingBtn()->isChecked());
  click(page->singleModeBtn());
  click(page->pepleBoxBtn());
  EXPECT_TRUE(cameraHas(functions(false, 1, true, 120, false, 50)));
  EXPECT_TRUE(page->modeButtonsRow()->isHidden());
  click(page->intelligentSwitch());
  click(item(page->angleSegment(), 1));
  click(item(page->pickupSegment(), 2));
  click(page->hMirrorSwitch());
  EXPECT_TRUE(cameraHas(functions(false, 1, false, 90, true, 80)));
  EXPECT_TRUE(page->autoFramingGroup()->isHidden());
  EXPECT_TRUE(test::logged("CameraControl, angleSegmentBlock, 1"));
  EXPECT_TRUE(test::logged("CameraControl, hMirrorSwitchAction(_:), true"));

  page->resetParams();
  EXPECT_TRUE(test::logged("CameraControl, resetParams()"));
  EXPECT_TRUE(cameraHas(CameraFunctions{}));
  EXPECT_TRUE(page->intelligentSwitch()->isChecked());
  EXPECT_TRUE(page->autoFramingBtn()->isChecked());
  EXPECT_EQ(page->angleSegment()->selectedIndex(), 2);
  EXPECT_EQ(page->pickupSegment()->selectedIndex(), 1);
  page->markSaved();
  EXPECT_FALSE(page->model().hasChanges());
  page->restoreParams();
  settle();
  EXPECT_EQ(cam.camera().functions(), CameraFunctions{}) << "the saved values are the baseline now";
}

TEST_F(FunctionPage, With4KCapturing60DegreesIsSentAndTheNoticeShown) {
  prepare(functions(false, 0, false, 120, false, 50));
  open();
  page->handleCaptureInfo(true);
  ASSERT_NE(QHudOverlay::toast(page->window()), nullptr);
  QHudOverlay::toast(page->window())->hideAnimated(false);
  click(item(page->angleSegment(), 0));
  EXPECT_TRUE(waitUntil([&] { return cam.camera().functions().angle == 60; }));
  EXPECT_EQ(
      test::toastText(page->window()),
      QString::fromUtf8(
          "Other apps are using 4k images, \n\"Roomwise AI\" and  \"60° FOV\" not able\nto use."));
}

struct ScrollCase {
  const char* name;
  CameraFunctions camera;
  std::function<QAbstractButton*(QCameraFunctionControlVC&)> control;
  int contentHeight;  // after the click: the rows shown, 48 each
};

class FunctionPageScroll : public FunctionPage, public ::testing::WithParamInterface<ScrollCase> {};

// A change keeps the page where the user scrolled it; rows shown or hidden only resize it.
TEST_P(FunctionPageScroll, AChangeKeepsTheScrollPosition) {
  prepare(GetParam().camera);
  open();
  page->resize(420, 120);
  QScrollBar* bar = page->scrollArea()->verticalScrollBar();
  ASSERT_TRUE(waitUntil([&] { return page->contentHeight() > 0 && bar->maximum() >= 48; }));
  bar->setValue(48);
  click(GetParam().control(*page));
  bool later = false;  // a timer due after the page's relayout
  QTimer::singleShot(50, page.get(), [&] { later = true; });
  ASSERT_TRUE(waitUntil([&] { return later; }));
  EXPECT_EQ(page->contentHeight(), GetParam().contentHeight);
  EXPECT_EQ(bar->value(), 48);
}

using Page = QCameraFunctionControlVC;
using Button = QAbstractButton*;
const CameraFunctions kFactory = functions(true, 0, false, 120, false, 50);

INSTANTIATE_TEST_SUITE_P(
    Changes, FunctionPageScroll,
    ::testing::Values(
        ScrollCase{"Mirror", kFactory, [](Page& p) -> Button { return p.hMirrorSwitch(); }, 336},
        ScrollCase{"PickUp", kFactory, [](Page& p) { return item(p.pickupSegment(), 0); }, 336},
        ScrollCase{"Mode", kFactory, [](Page& p) -> Button { return p.singleModeBtn(); }, 336},
        ScrollCase{"Angle", functions(false, 0, false, 120, false, 50),
                   [](Page& p) { return item(p.angleSegment(), 1); }, 192},
        ScrollCase{"IntelligentOff", kFactory,
                   [](Page& p) -> Button { return p.intelligentSwitch(); }, 192}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(FunctionPage, RepliesReachingAClosedPageAreDroppedAndTheNextPageLoads) {
  prepare(functions(false, 1, false, 90, true, 80));
  page = std::make_unique<QCameraFunctionControlVC>(cam.device, cam.platform.scheduler());
  page.reset();
  settle();
  open();
  EXPECT_EQ(*page->model().cameraParams(), (QHIDParams{false, 1, false, 90, true, 80}));
}

}  // namespace
}  // namespace vexhal
