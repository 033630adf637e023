// UVC controls against a real kernel: values set through UVCCameraControl travel through V4L2,
// uvcvideo and a USB control transfer to the gadget, which logs each request it receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "KernelRig.h"
#include "device/uvc/UVCCameraControl.h"

namespace vexhal::kernel::test {
namespace {

// A SET_CUR of the processing unit as the gadget logs it.
std::string setCurLine(int selector, std::int64_t value) {
  return "SET_CUR unit=2 selector=" + std::to_string(selector) + " value=" + std::to_string(value);
}

std::string lastUvcLogLine() {
  const std::vector<std::string> lines = uvcLogLines();
  return lines.empty() ? std::string("(empty)") : lines.back();
}

struct ImageControlCase {
  const char* name;
  int selector;
  std::int64_t value;  // what is asked for
  std::int64_t sent;   // what reaches the camera (clamping is the unit suite's concern)
  std::function<bool(UVCCameraControl&, std::int64_t)> set;
  std::function<std::int64_t(UVCCameraControl&)> get;
};

class KernelUvc : public ::testing::TestWithParam<ImageControlCase> {};

TEST_P(KernelUvc, AValueSetArrivesAtTheCameraAndReadsBack) {
  const ImageControlCase& control = GetParam();
  // By vendor and product, and by the location id from the rig's bus: the same camera.
  UVCCameraControl camera = UVCCameraControl::withVendorProduct(0xB206, 0xB215);
  ASSERT_TRUE(camera.hasInterface());
  const int bus = usbBusNumberOf(rigVariable("RIG_VIDEO"));
  UVCCameraControl byLocation(static_cast<std::uint32_t>(bus) << 24 | 0x00100000U);
  ASSERT_TRUE(byLocation.hasInterface());

  const std::size_t before = uvcLogLines().size();
  EXPECT_TRUE(control.set(camera, control.value));
  EXPECT_TRUE(waitForUvcLogLine(before, setCurLine(control.selector, control.sent)))
      << "the camera's log ends: " << lastUvcLogLine();
  EXPECT_EQ(control.get(camera), control.sent);
  EXPECT_EQ(control.get(byLocation), control.sent);
}

INSTANTIATE_TEST_SUITE_P(
    ImageControls, KernelUvc,
    ::testing::Values(
        ImageControlCase{"brightness", 2, 79, 79,
                         [](UVCCameraControl& c, std::int64_t v) { return c.setBrightness(v); },
                         [](UVCCameraControl& c) { return c.getBrightness(); }},
        ImageControlCase{"contrast", 3, 178, 178,
                         [](UVCCameraControl& c, std::int64_t v) { return c.setContrast(v); },
                         [](UVCCameraControl& c) { return c.getContrast(); }},
        ImageControlCase{"saturation", 7, 100, 100,
                         [](UVCCameraControl& c, std::int64_t v) { return c.setSaturation(v); },
                         [](UVCCameraControl& c) { return c.getSaturation(); }},
        ImageControlCase{"sharpness", 8, 150, 150,
                         [](UVCCameraControl& c, std::int64_t v) { return c.setSharpness(v); },
                         [](UVCCameraControl& c) { return c.getSharpness(); }}),
    [](const ::testing::TestParamInfo<ImageControlCase>& param) {
      std::string name = param.param.name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST(KernelUvcReplug, AHandleToAnUnpluggedCameraFailsAndANewOneWorksAfterReplug) {
  GadgetCamera rig;
  UVCCameraControl stale = UVCCameraControl::withVendorProduct(0xB206, 0xB215);
  ASSERT_TRUE(stale.hasInterface());
  ASSERT_TRUE(stale.setContrast(120));

  ASSERT_TRUE(rig.unplug());
  EXPECT_FALSE(stale.setContrast(130));
  EXPECT_EQ(stale.getContrast(), 0);
  EXPECT_FALSE(UVCCameraControl::withVendorProduct(0xB206, 0xB215).hasInterface());

  ASSERT_TRUE(rig.plug());
  // The old node is gone for good, even when the new one has the same name.
  EXPECT_FALSE(stale.setContrast(130));
  UVCCameraControl fresh = UVCCameraControl::withVendorProduct(0xB206, 0xB215);
  ASSERT_TRUE(fresh.hasInterface());
  const std::size_t before = uvcLogLines().size();
  EXPECT_TRUE(fresh.setContrast(131));
  EXPECT_TRUE(waitForUvcLogLine(before, setCurLine(3, 131)));
  EXPECT_EQ(fresh.getContrast(), 131);
}

}  // namespace
}  // namespace vexhal::kernel::test
