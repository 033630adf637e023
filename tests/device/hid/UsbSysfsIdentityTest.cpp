#include "device/hid/linux/UsbSysfsIdentity.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <string>

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
        // Which bus and port paths make a location is composeLocationId's own table.
        SysfsCase{"emptyBus", camera("\n", "1\n"), std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UsbSysfsIdentityRead, ADirectoryThatDoesNotExistGivesNothing) {
  EXPECT_FALSE(UsbSysfsIdentity::read("/nonexistent/usb1/1-4").has_value());
}

}  // namespace
}  // namespace vexhal
