// A camera's USB identity read from its sysfs folder, and its vendor HID interface recognised
// by its report descriptor.
#include "device/linux/UsbSysfsIdentity.h"
#include "device/hid/linux/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <map>

namespace vexhal {
namespace {

using Attributes = std::map<std::string, std::string>;

Attributes camera(const std::string& busnum, const std::string& devpath) {
  return {
      {"idVendor", "b206\n"}, {"idProduct", "b215\n"}, {"busnum", busnum}, {"devpath", devpath}};
}

Attributes with(Attributes attributes, const std::string& name, const char* value) {
  if (value == nullptr) {
    attributes.erase(name);
  } else {
    attributes[name] = value;
  }
  return attributes;
}

// Which bus and port paths make a location is composeLocationId's own table.
TEST(UsbSysfsIdentity, ComposesTheLocationFromBusAndPorts) {
  struct Row {
    const char* name;
    Attributes attributes;
    std::optional<std::int64_t> location;
  };
  for (const Row& row :
       {Row{"hubPorts", camera("3\n", "1.4.2\n"), 0x03142000},
        Row{"upperCaseIds", with(camera("3\n", "2\n"), "idVendor", "B206\n"), 0x03200000},
        Row{"missingBus", with(camera("3\n", "1\n"), "busnum", nullptr), std::nullopt},
        Row{"vendorNotHex", with(camera("3\n", "1\n"), "idVendor", "xyz\n"), std::nullopt},
        Row{"vendorTooWide", with(camera("3\n", "1\n"), "idVendor", "1b206\n"), std::nullopt},
        Row{"busNotANumber", camera("three\n", "1\n"), std::nullopt},
        Row{"negativeBus", camera("-12\n", "2\n"), std::nullopt},
        Row{"pathWithoutALocationIsListedAtZero", camera("3\n", "17.16\n"), 0}}) {
    SCOPED_TRACE(row.name);
    QTemporaryDir dir;
    for (const auto& [name, value] : row.attributes) {
      std::ofstream(dir.filePath(QString::fromStdString(name)).toStdString()) << value;
    }
    const auto identity = UsbSysfsIdentity::read(dir.path().toStdString());
    ASSERT_EQ(identity.has_value(), row.location.has_value());
    if (identity) {
      EXPECT_EQ(identity->vendorId, 0xB206);
      EXPECT_EQ(identity->productId, 0xB215);
      EXPECT_EQ(identity->locationId, *row.location);
    }
  }
  EXPECT_FALSE(UsbSysfsIdentity::read("/nonexistent/usb1/1-4").has_value());
}

TEST(HidReportDescriptor, OnlyTheVendorPageIsTheCamerasInterface) {
  using Bytes = std::vector<std::uint8_t>;
  struct Row {
    const char* name;
    std::optional<Bytes> descriptor;  // nothing: the file is missing
    bool vendor;
  };
  for (const Row& row :
       {Row{"vendorPage", Bytes{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01}, true},
        Row{"longItemSkipped", Bytes{0xFE, 0x02, 0x10, 0x05, 0x01, 0x06, 0x00, 0xFF}, true},
        Row{"keyboard", Bytes{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01}, false},
        Row{"onlyTheFirstPageCounts", Bytes{0x05, 0x0C, 0x09, 0x01, 0x06, 0x00, 0xFF}, false},
        Row{"cutInsideTheItem", Bytes{0x06, 0x00}, false}, Row{"empty", Bytes{}, false},
        Row{"unreadableIsKept", std::nullopt, true}}) {
    QTemporaryDir dir;
    if (row.descriptor) {
      std::ofstream(dir.filePath("report_descriptor").toStdString(), std::ios::binary)
          .write(reinterpret_cast<const char*>(row.descriptor->data()),
                 static_cast<std::streamsize>(row.descriptor->size()));
    }
    EXPECT_EQ(isVendorHidInterface(dir.path().toStdString()), row.vendor) << row.name;
  }
}

}  // namespace
}  // namespace vexhal
