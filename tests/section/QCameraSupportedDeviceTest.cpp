#include "section/camera_list/QCameraSupportedDevice.h"

#include <gtest/gtest.h>

namespace vexhal {
namespace {

TEST(QCameraSupportedDevice, CatalogueHoldsTheTwoModelsInOrder) {
  const QList<QCameraSupportedDevice> catalogue = QCameraSupportedDevice::catalogue();
  ASSERT_EQ(catalogue.size(), 2);
  EXPECT_EQ(catalogue[0].name, QStringLiteral("PICO EDGE"));
  EXPECT_EQ(rawValue(catalogue[0].type), QString::fromUtf8("USB相机"));
  EXPECT_EQ(catalogue[1].name, QStringLiteral("Halden Desk"));
  EXPECT_EQ(rawValue(catalogue[1].type), QString::fromUtf8("桌面会议一体机"));
}

TEST(QCameraSupportedDevice, StartsEmptyAsAUsbCamera) {
  const QCameraSupportedDevice device;
  EXPECT_TRUE(device.name.isEmpty());
  EXPECT_EQ(device.type, QCameraDeviceType::usb);
}

TEST(QCameraDeviceType, OnlyTheThreeCategoryNamesConstructACategory) {
  EXPECT_EQ(cameraDeviceTypeFromRawValue(QString::fromUtf8("会议终端")),
            QCameraDeviceType::terminal);
  EXPECT_EQ(cameraDeviceTypeFromRawValue(QString::fromUtf8("USB相机")), QCameraDeviceType::usb);
  EXPECT_EQ(cameraDeviceTypeFromRawValue(QString::fromUtf8("桌面会议一体机")),
            QCameraDeviceType::offset);
  for (const char* other : {"", "usb", "USB", "USB相机 ", "terminal", "会议"}) {
    EXPECT_EQ(cameraDeviceTypeFromRawValue(QString::fromUtf8(other)), std::nullopt) << other;
  }
}

}  // namespace
}  // namespace vexhal
