#include "device/hid/linux/UsbSysfsIdentity.h"
#include "device/hid/linux/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace vexhal {
namespace {

struct SysfsCase {
  const char* name;
  std::map<std::string, std::string> attributes;
  std::optional<std::int64_t> locationId;
};

void PrintTo(const SysfsCase& c, std::ostream* os) { *os << c.name; }

class UsbSysfsIdentityRead : public ::testing::TestWithParam<SysfsCase> {};

TEST_P(UsbSysfsIdentityRead, ComposesTheLocationFromBusAndPorts) {
  const SysfsCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string root = dir.path().toStdString();
  for (const auto& [name, value] : c.attributes) {
    std::ofstream(root + "/" + name) << value;
  }
  const auto identity = UsbSysfsIdentity::read(root);
  ASSERT_EQ(identity.has_value(), c.locationId.has_value());
  if (identity) {
    EXPECT_EQ(identity->vendorId, 0xB206);
    EXPECT_EQ(identity->productId, 0xB215);
    EXPECT_EQ(identity->locationId, *c.locationId);
  }
}

std::map<std::string, std::string> camera(const std::string& busnum, const std::string& devpath) {
  return {{"idVendor", "b206\n"}, {"idProduct", "b215\n"}, {"busnum", busnum},
          {"devpath", devpath}};
}

std::map<std::string, std::string> without(std::map<std::string, std::string> attributes,
                                           const std::string& name) {
  attributes.erase(name);
  return attributes;
}

std::map<std::string, std::string> with(std::map<std::string, std::string> attributes,
                                        const std::string& name, const std::string& value) {
  attributes[name] = value;
  return attributes;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, UsbSysfsIdentityRead,
    ::testing::Values(
        SysfsCase{"hubPorts", camera("3\n", "1.4.2\n"), 0x03142000},
        SysfsCase{"noTrailingNewline", camera("3", "1.4.2"), 0x03142000},
        SysfsCase{"upperCaseIds", with(camera("3\n", "2\n"), "idVendor", "B206\n"), 0x03200000},
        SysfsCase{"missingBus", without(camera("3\n", "1\n"), "busnum"), std::nullopt},
        SysfsCase{"missingDevpath", without(camera("3\n", "1\n"), "devpath"), std::nullopt},
        SysfsCase{"missingVendor", without(camera("3\n", "1\n"), "idVendor"), std::nullopt},
        SysfsCase{"vendorNotHex", with(camera("3\n", "1\n"), "idVendor", "xyz\n"), std::nullopt},
        SysfsCase{"vendorTooWide", with(camera("3\n", "1\n"), "idVendor", "1b206\n"),
                  std::nullopt},
        SysfsCase{"busNotANumber", camera("three\n", "1\n"), std::nullopt},
        SysfsCase{"rootPortAboveFifteen", camera("3\n", "17\n"), 0x03011000},
        SysfsCase{"pathWithoutALocationIsListedAtZero", camera("3\n", "17.16\n"), 0},
        // Which bus and port paths make a location is composeLocationId's own table.
        SysfsCase{"emptyBus", camera("\n", "1\n"), std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UsbSysfsIdentityRead, ADirectoryThatDoesNotExistGivesNothing) {
  EXPECT_FALSE(UsbSysfsIdentity::read("/nonexistent/usb1/1-4").has_value());
}

struct DescriptorCase {
  const char* name;
  std::optional<std::vector<std::uint8_t>> descriptor;  // nothing: the file is missing
  bool vendor;
};

void PrintTo(const DescriptorCase& c, std::ostream* os) { *os << c.name; }

class HidReportDescriptorRead : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(HidReportDescriptorRead, KeepsOnlyTheVendorInterface) {
  const DescriptorCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string root = dir.path().toStdString();
  if (c.descriptor) {
    std::ofstream(root + "/report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(c.descriptor->data()),
               static_cast<std::streamsize>(c.descriptor->size()));
  }
  EXPECT_EQ(isVendorHidInterface(root), c.vendor);
}

using Bytes = std::vector<std::uint8_t>;

INSTANTIATE_TEST_SUITE_P(
    Descriptors, HidReportDescriptorRead,
    ::testing::Values(
        DescriptorCase{"vendorPage", Bytes{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01}, true},
        DescriptorCase{"lastVendorPage", Bytes{0x06, 0xFF, 0xFF}, true},
        DescriptorCase{"fourByteVendorPage", Bytes{0x07, 0x00, 0xFF, 0x00, 0x00}, true},
        DescriptorCase{"usageBeforeThePage", Bytes{0x09, 0x01, 0x06, 0x00, 0xFF}, true},
        DescriptorCase{"longItemSkipped", Bytes{0xFE, 0x02, 0x10, 0x05, 0x01, 0x06, 0x00, 0xFF},
                       true},
        DescriptorCase{"keyboard", Bytes{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01}, false},
        DescriptorCase{"onlyTheFirstPageCounts", Bytes{0x05, 0x0C, 0x09, 0x01, 0x06, 0x00, 0xFF},
                       false},
        DescriptorCase{"cutInsideTheItem", Bytes{0x06, 0x00}, false},
        DescriptorCase{"empty", Bytes{}, false},
        DescriptorCase{"unreadableIsKept", std::nullopt, true}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace vexhal
