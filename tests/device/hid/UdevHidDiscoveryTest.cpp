#include "device/hid/linux/UdevHidDiscovery.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

namespace vexhal {
namespace {

// open() on ordinary files: the node's kind does not matter to the locking.
struct UdevOpen : ::testing::Test {
  UdevOpen() {
    std::ofstream(path()) << "";
    discovery = UdevHidDiscovery::create();
  }
  std::string path() const { return dir.path().toStdString() + "/hidraw0"; }
  HidDeviceRecord record() const { return HidDeviceRecord{path(), 0xB206, 0xB215, 0x01100000}; }

  QTemporaryDir dir;
  std::unique_ptr<UdevHidDiscovery> discovery;
};

TEST_F(UdevOpen, TakesTheDeviceExclusively) {
  ASSERT_NE(discovery, nullptr);
  UniqueFd first = discovery->open(record());
  ASSERT_TRUE(first.isValid());
  EXPECT_FALSE(discovery->open(record()).isValid()) << "a held device must not be opened again";
  first.reset();
  EXPECT_TRUE(discovery->open(record()).isValid());
}

TEST_F(UdevOpen, GivesNothingForANodeThatIsGone) {
  ASSERT_NE(discovery, nullptr);
  EXPECT_FALSE(discovery->open(HidDeviceRecord{path() + "-gone", 0xB206, 0xB215, 0}).isValid());
}

}  // namespace
}  // namespace vexhal
