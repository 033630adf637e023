// Every control of a video node over the fake kernel: what the listing keeps and leaves out,
// how it gets past a control the driver cannot describe, requests on the controls, and the watch
// on their values and flags with automatic exposure owning exposure time.
#include "device/uvc/linux/V4l2VideoControlSet.h"

#include <fcntl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeV4l2Kernel.h"
#include "common/EventLoop.h"
#include "device/uvc/linux/V4l2UvcTransportFactory.h"

namespace vexhal {
namespace {

using ::testing::ElementsAre;
using testing::FakeV4l2Kernel;
using Lines = std::vector<std::string>;
using Type = VideoControl::Type;
using Menu = std::vector<VideoMenuItem>;

constexpr std::uint32_t kLocation = 0x03142000;

// A camera whose node has controls of every kind, in the classes and ranges drivers use.
std::shared_ptr<FakeV4l2Kernel> cameraKernel() {
  using C = FakeV4l2Kernel::Control;
  // clang-format off
  const std::vector<std::tuple<std::uint32_t, C, std::int32_t>> controls = {
      {V4L2_CID_USER_CLASS, {V4L2_CTRL_TYPE_CTRL_CLASS, "User Controls", 0, 0, 0, 0, 0, {}, 0}, 0},
      {V4L2_CID_BRIGHTNESS, {V4L2_CTRL_TYPE_INTEGER, "Brightness", -64, 64, 1, 0, 0, {}, 0}, 10},
      {V4L2_CID_CONTRAST, {V4L2_CTRL_TYPE_INTEGER, "Contrast", 0, 95, 1, 32, V4L2_CTRL_FLAG_DISABLED, {}, 0}, 32},
      {V4L2_CID_AUTO_WHITE_BALANCE, {V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1, 1, 1, 0, {}, 0}, 1},
      {V4L2_CID_DO_WHITE_BALANCE, {V4L2_CTRL_TYPE_BUTTON, "Do White Balance", 0, 0, 0, 0, 0, {}, 0}, 0},
      {V4L2_CID_GAIN, {V4L2_CTRL_TYPE_INTEGER, "Gain", 0, 100, 1, 0, 0, {}, EIO}, 0},
      {V4L2_CID_POWER_LINE_FREQUENCY, {V4L2_CTRL_TYPE_MENU, "Power Line Frequency", 0, 2, 1, 1, 0,
                                       {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}}, 0}, 2},
      {V4L2_CID_CAMERA_CLASS, {V4L2_CTRL_TYPE_CTRL_CLASS, "Camera Controls", 0, 0, 0, 0, 0, {}, 0}, 0},
      {V4L2_CID_EXPOSURE_AUTO, {V4L2_CTRL_TYPE_MENU, "Auto Exposure", 0, 3, 1, 3, 0,
                                {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}}, 0}, 3},
      {V4L2_CID_EXPOSURE_ABSOLUTE, {V4L2_CTRL_TYPE_INTEGER, "Exposure Time, Absolute", 3, 2047, 1, 250, 0, {}, 0}, 156},
      {V4L2_CID_FOCUS_ABSOLUTE, {V4L2_CTRL_TYPE_INTEGER, "Focus, Absolute", 0, 250, 5, 0, V4L2_CTRL_FLAG_READ_ONLY, {}, 0}, 40},
      {V4L2_CID_AUTO_EXPOSURE_BIAS, {V4L2_CTRL_TYPE_INTEGER_MENU, "Auto Exposure, Bias", 0, 2, 1, 1, 0,
                                     {{0, "-2"}, {1, "0"}, {2, "2"}}, 0}, 1},
      {V4L2_CID_PRIVATE_BASE, {V4L2_CTRL_TYPE_STRING, "Firmware", 0, 32, 1, 0, 0, {}, 0}, 0}};
  // clang-format on
  auto kernel = std::make_shared<FakeV4l2Kernel>();
  kernel->addNode("/dev/video0", {});
  for (const auto& [id, description, value] : controls) {
    kernel->descriptions[id] = description;
    kernel->controls[id] = value;
  }
  return kernel;
}

class VideoControls : public ::testing::Test {
 protected:
  UVCLog sink() {
    return UVCLog([this](const std::string& line) { log.push_back(line); });
  }
  std::vector<std::string> keys() {
    std::vector<std::string> list;
    for (const VideoControl& c : set.enumerate()) list.push_back(c.key);
    return list;
  }

  Lines log;
  std::shared_ptr<FakeV4l2Kernel> kernel = cameraKernel();
  V4l2VideoControlSet set{kernel->open("/dev/video0", O_RDWR), kernel, sink()};
};

TEST_F(VideoControls, ListsWhatCanBeShownAndLogsWhatIsLeftOutOnce) {
  using Row =
      std::tuple<std::string, Type, std::int64_t, std::int64_t, std::int64_t, bool, bool, Menu>;
  std::vector<Row> rows;
  for (const VideoControl& c : set.enumerate())
    rows.emplace_back(c.key, c.type, c.minimum, c.maximum, c.value, c.readOnly, c.inactive, c.menu);
  // clang-format off
  EXPECT_THAT(rows, ElementsAre(
      Row{"brightness", Type::integer, -64, 64, 10, false, false, {}},
      Row{"white-balance-automatic", Type::boolean, 0, 1, 1, false, false, {}},
      Row{"power-line-frequency", Type::menu, 0, 2, 2, false, false, {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}}},
      Row{"auto-exposure", Type::menu, 0, 3, 3, false, false, {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}}},
      Row{"exposure-time-absolute", Type::integer, 3, 2047, 156, false, true, {}},
      Row{"focus-absolute", Type::integer, 0, 250, 40, true, false, {}},
      Row{"auto-exposure-bias", Type::integerMenu, 0, 2, 1, false, false, {{0, "-2"}, {1, "0"}, {2, "2"}}}));
  // clang-format on
  const Lines once = {"CameraControl: Control 00980901 is disabled",
                      "CameraControl: Control 0098090d is of a type that cannot be shown",
                      "CameraControl Error: Control 00980913 cannot be described (00000005)",
                      "CameraControl: Control 08000000 is of a type that cannot be shown"};
  EXPECT_EQ(log, once);
  set.enumerate();
  EXPECT_EQ(log, once);
}

// Wherever the control that fails sits, the listing finds it, leaves it out and goes on.
TEST_F(VideoControls, AControlTheDriverCannotDescribeIsLeftOutWhereverItSits) {
  kernel->descriptions[V4L2_CID_GAIN].queryError = 0;
  const std::vector<std::string> all = keys();
  for (const std::uint32_t id :
       {V4L2_CID_BRIGHTNESS, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_AUTO_EXPOSURE_BIAS}) {
    kernel = cameraKernel();
    kernel->descriptions[V4L2_CID_GAIN].queryError = 0;
    kernel->descriptions[id].queryError = EIO;
    log.clear();
    V4l2VideoControlSet other(kernel->open("/dev/video0", O_RDWR), kernel, sink());
    std::vector<std::string> expected = all;
    std::erase(expected, videoControlKey(kernel->descriptions[id].name));
    std::vector<std::string> got;
    for (const VideoControl& c : other.enumerate()) got.push_back(c.key);
    EXPECT_EQ(got, expected) << id;
    EXPECT_EQ(log.size(), 4u) << id;  // with the disabled and the two unshown controls
  }
  V4l2VideoControlSet gone(kernel->open("/dev/video0", O_RDWR), kernel, sink());
  kernel->unplug();
  log.clear();
  EXPECT_TRUE(gone.enumerate().empty());
  EXPECT_THAT(log,
              ElementsAre("CameraControl Error: Listing controls ended after 00000000 (00000013)"));
}

TEST_F(VideoControls, RequestsReachTheDriverUnlessTheListingRulesThemOut) {
  set.enumerate();
  const std::vector<std::tuple<std::uint32_t, std::int64_t, int, bool>> rows = {
      {V4L2_CID_FOCUS_ABSOLUTE, 45, EACCES, false},                   // read-only
      {V4L2_CID_BRIGHTNESS, 65, ERANGE, false},                       // beyond its maximum
      {V4L2_CID_PAN_ABSOLUTE, std::int64_t{1} << 40, ERANGE, false},  // beyond V4L2's values
      {V4L2_CID_BRIGHTNESS, -20, 0, true},
      {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL, 0, true}};
  for (const auto& [id, value, status, sent] : rows) {
    const std::size_t calls = kernel->state().calls.size();
    EXPECT_EQ(set.set(id, value), status) << id << " " << value;
    EXPECT_EQ(kernel->state().calls.size() > calls, sent) << id << " " << value;
    std::int64_t now = 0;
    EXPECT_EQ(sent && set.get(id, now) == 0 && now == value, sent) << id << " " << value;
  }
  std::int64_t hue = 0;
  EXPECT_EQ(set.get(V4L2_CID_HUE, hue), EINVAL);
}

// The watch hears what another handle changes, automatic exposure taking exposure time over
// and giving it back, until the node goes.
TEST_F(VideoControls, TheWatchReportsValuesAndFlagsUntilTheNodeGoes) {
  test::ensureCoreApplication();
  const auto cameras = [] {
    UdevCamera camera{"/sys/usb", UsbSysfsIdentity{0xB206, 0xB215, kLocation, 3, "1", ""}, {}, {}};
    camera.videoNodes.push_back({"/dev/video0", "", true});
    return std::vector{camera};
  };
  V4l2UvcTransportFactory factory(cameras, kernel);
  factory.setLog(sink());
  using Seen = std::tuple<std::uint32_t, std::int64_t, bool, bool, bool>;
  std::vector<Seen> seen;
  auto watch = factory.watchControlsByLocation(
      kLocation, {V4L2_CID_EXPOSURE_AUTO, V4L2_CID_EXPOSURE_ABSOLUTE},
      [&](const VideoControlEvent& e) {
        seen.emplace_back(e.id, e.value, e.inactive, e.valueChanged, e.flagsChanged);
      });
  ASSERT_NE(watch, nullptr);
  auto controls = factory.openControlsByLocation(kLocation);
  ASSERT_NE(controls, nullptr);
  EXPECT_EQ(controls->set(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL), 0);
  EXPECT_EQ(controls->set(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY), 0);
  ASSERT_TRUE(test::waitUntil([&] { return seen.size() >= 4; }));
  EXPECT_THAT(seen, ElementsAre(Seen(V4L2_CID_EXPOSURE_AUTO, 1, false, true, false),
                                Seen(V4L2_CID_EXPOSURE_ABSOLUTE, 156, false, false, true),
                                Seen(V4L2_CID_EXPOSURE_AUTO, 3, false, true, false),
                                Seen(V4L2_CID_EXPOSURE_ABSOLUTE, 156, true, false, true)));
  EXPECT_EQ(factory.watchControlsByLocation(kLocation, {V4L2_CID_HUE}, {}), nullptr);
  EXPECT_THAT(log, ElementsAre("CameraControl Error: Unable to watch control 9963779 (00000016)"));

  kernel->unplug();
  ASSERT_TRUE(test::waitUntil([&] { return !watch->isWatching(); }));
}

}  // namespace
}  // namespace vexhal
