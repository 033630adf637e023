// Every control of the virtual camera's video node: how it is listed, and that the control set,
// its watch and the UVC request path all see one camera, automatic modes included.
#include <linux/videodev2.h>

#include <gmock/gmock.h>

#include "SimTestSupport.h"
#include "SimUvcTransportFactory.h"
#include "device/uvc/UVCCameraControl.h"

namespace vexhal::sim::test {
namespace {

using ::testing::ElementsAre;
using Type = VideoControl::Type;

// A virtual camera, plugged in before its controls are opened.
struct PluggedCamera : VirtualCamera {
  PluggedCamera() {
    ensureCoreApplication();
    plug();
  }
};

struct Cameras : ::testing::Test {
  const std::uint32_t location = static_cast<std::uint32_t>(VirtualCameraIdentity().locationId);
  PluggedCamera camera;
  SimUvcTransportFactory factory{{&camera}};
  std::unique_ptr<VideoControlSet> set = factory.openControlsByLocation(location);
  UVCCameraControl uvc{location, factory};
};

TEST_F(Cameras, ListsEveryControlInTheDriversOrderWithMenusAndAutomaticModes) {
  const std::vector<VideoControl> all = set->enumerate();
  std::vector<std::string> keys;
  for (const VideoControl& c : all) keys.push_back(c.key);
  EXPECT_THAT(keys,
              ElementsAre("brightness", "contrast", "saturation", "white-balance-automatic", "gain",
                          "power-line-frequency", "white-balance-temperature", "sharpness",
                          "backlight-compensation", "auto-exposure", "exposure-time-absolute"));
  // clang-format off
  const std::vector<std::tuple<std::size_t, Type, std::int64_t, std::int64_t, bool,
                               std::vector<VideoMenuItem>>> rows = {
      {3, Type::boolean, 0, 1, false, {}},
      {5, Type::menu, 0, 2, false, {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}}},
      {6, Type::integer, 2800, 6500, true, {}},  // automatic white balance owns it
      {9, Type::menu, 1, 3, false, {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}}},
      {10, Type::integer, 1, 10000, true, {}}};  // automatic exposure owns it
  // clang-format on
  for (const auto& [index, type, minimum, maximum, inactive, menu] : rows) {
    const VideoControl& c = all.at(index);
    EXPECT_EQ(std::tuple(c.type, c.minimum, c.maximum, c.inactive, c.menu),
              std::tuple(type, minimum, maximum, inactive, menu))
        << c.name;
  }
}

// One change, made through the set or the UVC path: what the set, the UVC path and both
// watches then see.
TEST_F(Cameras, TheSetTheWatchesAndTheUvcPathAgree) {
  std::vector<VideoControlEvent> events;
  auto watch = factory.watchControlsByLocation(
      location, {V4L2_CID_BRIGHTNESS, V4L2_CID_EXPOSURE_AUTO, V4L2_CID_EXPOSURE_ABSOLUTE},
      [&](const VideoControlEvent& e) { events.push_back(e); });
  std::vector<std::pair<std::int32_t, std::int64_t>> imageChanges;
  auto imageWatch = factory.watchByLocation(location, [&](const UVCControlInfo& c, std::int64_t v) {
    imageChanges.emplace_back(c.selector, v);
  });
  ASSERT_TRUE(watch && imageWatch);

  ASSERT_TRUE(uvc.setBrightness(150));
  EXPECT_EQ(set->set(V4L2_CID_CONTRAST, 100), 0);
  EXPECT_EQ(set->set(V4L2_CID_SATURATION, 128), 0);  // unchanged: no event
  EXPECT_EQ(set->set(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL), 0);
  settle();
  std::int64_t brightness = 0;
  EXPECT_EQ(set->get(V4L2_CID_BRIGHTNESS, brightness), 0);
  EXPECT_EQ(brightness, 150);
  EXPECT_EQ(uvc.getContrast(), 100);
  EXPECT_FALSE(uvc.getAutoExposure());
  EXPECT_EQ(uvc.tryGetDataFor(kUvcGetInfo, 1, kUvcExposureTime.selector, kUvcExposureTime.unit), 3);
  EXPECT_THAT(imageChanges, ElementsAre(std::pair(kUvcBrightness.selector, std::int64_t{150}),
                                        std::pair(kUvcContrast.selector, std::int64_t{100})));
  using Seen = std::tuple<std::uint32_t, std::int64_t, bool, bool, bool>;
  const auto seen = [&] {
    std::vector<Seen> list;
    for (const auto& e : events)
      list.emplace_back(e.id, e.value, e.inactive, e.valueChanged, e.flagsChanged);
    return list;
  };
  EXPECT_THAT(seen(), ElementsAre(Seen(V4L2_CID_BRIGHTNESS, 150, false, true, false),
                                  Seen(V4L2_CID_EXPOSURE_AUTO, 1, false, true, false),
                                  Seen(V4L2_CID_EXPOSURE_ABSOLUTE, 156, false, false, true)));

  // Back to automatic through the UVC path, with the mode bit of aperture priority.
  events.clear();
  ASSERT_TRUE(uvc.setData(8, 1, kUvcAutoExposureMode.selector, kUvcAutoExposureMode.unit));
  settle();
  EXPECT_THAT(seen(), ElementsAre(Seen(V4L2_CID_EXPOSURE_AUTO, 3, false, true, false),
                                  Seen(V4L2_CID_EXPOSURE_ABSOLUTE, 156, true, false, true)));

  camera.unplug();
  EXPECT_EQ(set->set(V4L2_CID_GAIN, 5), ENODEV);
  EXPECT_FALSE(watch->isWatching());
  EXPECT_FALSE(imageWatch->isWatching());
}

TEST_F(Cameras, RefusesValuesTheControlDoesNotOffer) {
  const std::vector<std::tuple<std::uint32_t, std::int64_t, int>> rows = {
      {V4L2_CID_GAIN, 101, ERANGE},
      {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY, EINVAL},  // not in its menu
      {V4L2_CID_POWER_LINE_FREQUENCY, 3, EINVAL},
      {V4L2_CID_HUE, 0, EINVAL}};  // the camera has none
  for (const auto& [id, value, error] : rows) EXPECT_EQ(set->set(id, value), error) << id;
  EXPECT_FALSE(uvc.setAutoExposure(true));  // full automatic is not one of its modes
}

// A second camera can have other ranges; the UVC path reports the same.
TEST(OtherRanges, ACameraCanBeMadeWithOtherRanges) {
  ensureCoreApplication();
  VirtualCameraIdentity identity;
  identity.controlRanges = {{V4L2_CID_BRIGHTNESS, 0, 100, 50}, {V4L2_CID_GAIN, 10, 20, 15}};
  VirtualCamera camera(identity);
  camera.plug();
  SimUvcTransportFactory factory{{&camera}};
  const auto location = static_cast<std::uint32_t>(identity.locationId);
  const std::vector<VideoControl> all = factory.openControlsByLocation(location)->enumerate();
  std::vector<std::tuple<std::string, std::int64_t, std::int64_t, std::int64_t, std::int64_t>> got;
  for (const VideoControl& c : all)
    if (c.key == "brightness" || c.key == "gain")
      got.emplace_back(c.key, c.minimum, c.maximum, c.defaultValue, c.value);
  EXPECT_THAT(got, ElementsAre(std::tuple("brightness", 0, 100, 50, 50),
                               std::tuple("gain", 10, 20, 15, 15)));
  UVCCameraControl uvc(location, factory);
  EXPECT_EQ(uvc.tryGetDataFor(kUvcGetMax, 2, kUvcBrightness.selector, kUvcBrightness.unit), 100);
}

}  // namespace
}  // namespace vexhal::sim::test
