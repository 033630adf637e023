// The gadget camera's pictures: JPEG test pictures of the sizes asked for, placed whole.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <fstream>
#include <iterator>

#include "RigFrames.h"

namespace vexhal::sim {
namespace {

TEST(RigFrames, EncodesAJpegOfAnyEvenSizeAndNothingOfAnOddOrEmptyOne) {
  for (const auto& [width, height] :
       std::vector<std::pair<int, int>>{{1920, 1080}, {1280, 720}, {2, 2}}) {
    const std::vector<std::uint8_t> jpeg = RigFrames::encode(width, height, PictureSettings{});
    ASSERT_FALSE(jpeg.empty());
    tjhandle handle = tjInitDecompress();
    int w = 0;
    int h = 0;
    int subsampling = 0;
    int colourspace = 0;
    EXPECT_EQ(
        tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &w, &h, &subsampling, &colourspace),
        0);
    tjDestroy(handle);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(width, height));
  }
  for (const auto& [width, height] :
       std::vector<std::pair<int, int>>{{0, 0}, {3, 2}, {2, 5}, {-2, 2}}) {
    EXPECT_TRUE(RigFrames::encode(width, height, PictureSettings{}).empty())
        << width << "x" << height;
  }
}

TEST(RigFrames, PlacesThePictureWholeUnderItsSizeName) {
  QTemporaryDir dir;
  const std::vector<std::uint8_t> bytes =
      RigFrames::place(dir.path().toStdString(), 1280, 720, PictureSettings{});
  ASSERT_FALSE(bytes.empty());
  std::ifstream in(dir.filePath("1280x720.jpg").toStdString(), std::ios::binary);
  const std::vector<std::uint8_t> onDisk(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(onDisk, bytes);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"1280x720.jpg"});
  // Other settings give another picture.
  PictureSettings brighter;
  brighter.brightness = 170;
  EXPECT_NE(RigFrames::encode(1280, 720, brighter), bytes);
}

TEST(RigFrames, AFolderThatCannotBeWrittenGivesNothing) {
  QTemporaryDir dir;
  EXPECT_TRUE(RigFrames::place(dir.filePath("missing").toStdString(), 1280, 720, PictureSettings{})
                  .empty());
}

}  // namespace
}  // namespace vexhal::sim
