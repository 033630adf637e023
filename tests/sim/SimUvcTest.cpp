// The virtual camera's UVC controls through the program's UVCCameraControl.
#include <gtest/gtest.h>

#include <cerrno>

#include "CameraCommand.h"
#include "SimTestSupport.h"
#include "FirmwareImage.h"
#include "SimUvcTransportFactory.h"
#include "device/uvc/UVCCameraControl.h"

namespace vexhal::sim {
namespace {

struct SimUvc : ::testing::Test {
  SimUvc() {
    test::ensureCoreApplication();
    camera.plug();
  }
  UVCCameraControl control() {
    return UVCCameraControl(static_cast<std::uint32_t>(camera.locationId()), factory);
  }

  VirtualCamera camera;
  SimUvcTransportFactory factory{{&camera}};
};

struct ImageControlCase {
  const char* name;
  bool (UVCCameraControl::*set)(std::int64_t);
  std::int64_t (UVCCameraControl::*get)();
  UVCControlInfo info;
};

class ImageControl : public SimUvc, public ::testing::WithParamInterface<ImageControlCase> {};

TEST_P(ImageControl, ValuesAreKeptClampedByTheProgramAndReadBack) {
  const ImageControlCase& c = GetParam();
  UVCCameraControl uvc = control();
  ASSERT_TRUE(uvc.hasInterface());
  EXPECT_EQ((uvc.*c.get)(), 128);  // factory value
  for (const auto& [sent, kept] :
       std::vector<std::pair<std::int64_t, std::int64_t>>{{120, 120}, {50, 78}, {300, 178}}) {
    EXPECT_TRUE((uvc.*c.set)(sent));
    EXPECT_EQ((uvc.*c.get)(), kept);
    EXPECT_EQ(camera.uvcControls().value(c.info), kept);
  }
  // The camera's own range is wider than the program's, and it reports it.
  EXPECT_EQ(uvc.getDataFor(kUvcGetMin, 2, c.info.selector, c.info.unit), 0);
  EXPECT_EQ(uvc.getDataFor(kUvcGetMax, 2, c.info.selector, c.info.unit), 255);
  EXPECT_EQ(uvc.getDataFor(kUvcGetDef, 2, c.info.selector, c.info.unit), 128);
  EXPECT_EQ(uvc.getDataFor(kUvcGetLen, 2, c.info.selector, c.info.unit), 2);
  EXPECT_EQ(uvc.getDataFor(kUvcGetInfo, 1, c.info.selector, c.info.unit), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ImageControl,
    ::testing::Values(ImageControlCase{"Brightness", &UVCCameraControl::setBrightness,
                                       &UVCCameraControl::getBrightness, kUvcBrightness},
                      ImageControlCase{"Contrast", &UVCCameraControl::setContrast,
                                       &UVCCameraControl::getContrast, kUvcContrast},
                      ImageControlCase{"Saturation", &UVCCameraControl::setSaturation,
                                       &UVCCameraControl::getSaturation, kUvcSaturation},
                      ImageControlCase{"Sharpness", &UVCCameraControl::setSharpness,
                                       &UVCCameraControl::getSharpness, kUvcSharpness}),
    [](const ::testing::TestParamInfo<ImageControlCase>& param) { return param.param.name; });

TEST_F(SimUvc, FurtherControlsKeepTheirValues) {
  UVCCameraControl uvc = control();
  EXPECT_TRUE(uvc.getAutoExposure());
  EXPECT_TRUE(uvc.setAutoExposure(false));
  EXPECT_FALSE(uvc.getAutoExposure());
  EXPECT_TRUE(uvc.setExposureTime(333));
  EXPECT_EQ(uvc.getExposureTime(), 333);
  EXPECT_TRUE(uvc.setGain(40));
  EXPECT_EQ(uvc.getGain(), 40);
  EXPECT_TRUE(uvc.setWhiteBalanceTemperature(5000));
  EXPECT_EQ(uvc.getWhiteBalanceTemperature(), 5000);
  EXPECT_TRUE(uvc.setAutoWhiteBalance(false));
  EXPECT_FALSE(uvc.getAutoWhiteBalance());
  // Outside the camera's range: refused, the value stays.
  EXPECT_FALSE(uvc.setWhiteBalanceTemperature(9000));
  EXPECT_EQ(uvc.getWhiteBalanceTemperature(), 5000);
  EXPECT_FALSE(uvc.setGain(101));
}

TEST_F(SimUvc, VendorControlsAreTheFramingFunctions) {
  UVCCameraControl uvc = control();
  EXPECT_TRUE(uvc.setFieldOfView(90));
  EXPECT_TRUE(uvc.setHorizontalMirror(true));
  EXPECT_TRUE(uvc.setPeopleCentredFraming(false));
  EXPECT_EQ(camera.functions().angle, 90);
  EXPECT_TRUE(camera.functions().hMirror);
  EXPECT_FALSE(camera.functions().autoFraming);
  EXPECT_EQ(uvc.getFieldOfView(), 90);
  EXPECT_TRUE(uvc.getHorizontalMirror());
  EXPECT_FALSE(uvc.setFieldOfView(100));
  EXPECT_EQ(camera.functions().angle, 90);
}

TEST_F(SimUvc, RequestsTheCameraDoesNotKnowStall) {
  UVCCameraControl uvc = control();
  EXPECT_FALSE(uvc.setData(1, 2, 9, 2));   // no selector 9 on the processing unit
  EXPECT_FALSE(uvc.setData(1, 2, 2, 5));   // no unit 5
  EXPECT_FALSE(uvc.setData(100, 1, 2, 2));  // brightness is two bytes, not one
  EXPECT_EQ(uvc.getDataFor(0x99, 2, 2, 2), 0);  // no such request
  std::uint8_t value[2] = {0x80, 0};
  UVCControlRequest toInterfaceOne{kUvcRequestTypeSet, kUvcSetCur, 2 << 8, (2 << 8) | 1, 2, value};
  EXPECT_EQ(camera.uvcRequest(toInterfaceOne), EPIPE);
  UVCControlRequest wrongDirection{kUvcRequestTypeGet, kUvcSetCur, 2 << 8, 2 << 8, 2, value};
  EXPECT_EQ(camera.uvcRequest(wrongDirection), EPIPE);
  EXPECT_EQ(camera.uvcControls().value(kUvcBrightness), 128);
}

TEST_F(SimUvc, AnUnpluggedCameraHasNoChannelAndAnOpenOneFails) {
  UVCCameraControl open = control();
  camera.unplug();
  EXPECT_FALSE(open.setBrightness(100));
  EXPECT_EQ(open.getBrightness(), 0);
  EXPECT_FALSE(control().hasInterface());
  EXPECT_FALSE(UVCCameraControl(0x01000000, factory).hasInterface());  // another location
  camera.plug();
  EXPECT_TRUE(UVCCameraControl::withVendorProduct(0xB206, 0xB215, factory).setBrightness(100));
  EXPECT_EQ(UVCCameraControl::withUniqueId(camera.captureUniqueId(), factory).getBrightness(), 100);
}

TEST_F(SimUvc, SavedImageValuesAreWhatTheCameraStartsWithAfterARestart) {
  test::CameraOnManager rig;
  SimUvcTransportFactory rigFactory{{&rig.camera}};
  UVCCameraControl uvc(static_cast<std::uint32_t>(rig.camera.locationId()), rigFactory);
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(uvc.setContrast(150));
  bool saved = false;
  device->saveUVC([&](std::int64_t code) { saved = code == 0; });
  ASSERT_TRUE(test::waitUntil([&] { return saved; }));
  ASSERT_TRUE(uvc.setContrast(90));
  bool upgraded = false;
  device->startUpgrade(buildFirmwareImage({1, 0, 7}, QByteArray(10, 'a')),
                       [&](std::int64_t code) { upgraded = code == 0; });
  ASSERT_TRUE(test::waitUntil([&] { return upgraded; }));
  ASSERT_TRUE(test::waitUntil([&] {
    return !rig.manager->devices().empty() && rig.manager->devices().front() != device;
  }));
  EXPECT_EQ(UVCCameraControl(static_cast<std::uint32_t>(rig.camera.locationId()), rigFactory)
                .getContrast(),
            150);
}

}  // namespace
}  // namespace vexhal::sim
