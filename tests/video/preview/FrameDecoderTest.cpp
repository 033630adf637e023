#include <gtest/gtest.h>

#include "TestPictures.h"
#include "video/preview/FrameDecoder.h"
#include "video/PixelFormat.h"
#include "video/preview/VideoGeometry.h"

namespace vexhal::video {
namespace {

using namespace testing;

// Each quadrant's inner half, away from the edges where chroma subsampling blends colours.
void expectQuadrantsClose(const QImage& decoded) {
  const int w = decoded.width();
  const int h = decoded.height();
  for (int q = 0; q < 4; ++q) {
    for (int y = (q / 2) * h / 2 + h / 8; y < (q / 2) * h / 2 + h / 8 + h / 4; ++y) {
      for (int x = (q % 2) * w / 2 + w / 8; x < (q % 2) * w / 2 + w / 8 + w / 4; ++x) {
        ASSERT_TRUE(near(decoded.pixelColor(x, y), quadrantColor(q), 12))
            << q << " at " << x << "," << y;
      }
    }
  }
}

VideoSample withBytes(VideoSample sample, std::vector<std::uint8_t> bytes) {
  sample.payload = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  return sample;
}

// The frame's JPEG with the size in its start-of-frame header replaced.
VideoSample withJpegSize(const VideoSample& sample, int width, int height) {
  std::vector<std::uint8_t> bytes(sample.bytes().begin(), sample.bytes().end());
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
    if (bytes[i] == 0xff && bytes[i + 1] == 0xc0) {
      bytes[i + 5] = static_cast<std::uint8_t>(height >> 8);
      bytes[i + 6] = static_cast<std::uint8_t>(height);
      bytes[i + 7] = static_cast<std::uint8_t>(width >> 8);
      bytes[i + 8] = static_cast<std::uint8_t>(width);
      break;
    }
  }
  return withBytes(sample, std::move(bytes));
}

// A well-formed progressive 8 x 8 grey JPEG of 694 scans: every AC coefficient is sent in its
// own scan and refined one bit at a time. All coefficients are zero, so each scan carries one
// end-of-band code.
std::vector<std::uint8_t> manyScanJpeg() {
  std::vector<std::uint8_t> jpeg = {0xff, 0xd8, 0xff, 0xdb, 0x00, 0x43, 0x00};
  jpeg.insert(jpeg.end(), 64, 1);
  jpeg.insert(jpeg.end(),
              {0xff, 0xc2, 0x00, 0x0b, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00});
  for (const std::uint8_t tableClass : {0x00, 0x10}) {  // one code "0" for symbol 0
    jpeg.insert(jpeg.end(), {0xff, 0xc4, 0x00, 0x14, tableClass, 1});
    jpeg.insert(jpeg.end(), 16, 0);
  }
  const auto scan = [&jpeg](std::uint8_t first, std::uint8_t last, int high, int low) {
    jpeg.insert(jpeg.end(), {0xff, 0xda, 0x00, 0x08, 0x01, 0x01, 0x00, first, last,
                             static_cast<std::uint8_t>(high << 4 | low), 0x7f});
  };
  scan(0, 0, 0, 0);
  for (std::uint8_t k = 1; k < 64; ++k) {
    scan(k, k, 0, 10);
    for (int bit = 10; bit > 0; --bit) scan(k, k, bit, bit - 1);
  }
  jpeg.insert(jpeg.end(), {0xff, 0xd9});
  return jpeg;
}

VideoSample resized(VideoSample sample, int width, int height) {
  sample.width = width;
  sample.height = height;
  return sample;
}

// Each pixel format gives the picture back at an odd size (where chroma planes round up), also
// right after each corrupt frame, which is refused.
TEST(FrameDecoderTest, GivesThePictureBackAndRefusesCorruptFrames) {
  const VideoSample jpeg = mjpegSample(quadrantPicture(101, 75));
  const VideoSample yuyv = yuyvSample(quadrantPicture(67, 40));
  const VideoSample nv12 = nv12Sample(quadrantPicture(67, 41));
  const VideoSample good[] = {jpeg, yuyv, nv12};
  std::vector<std::uint8_t> garbage(4000);
  for (std::size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<std::uint8_t>(i * 31 + 7);
  garbage[3998] = 0xff;
  garbage[3999] = 0xd9;
  VideoSample h264 = yuyv;
  h264.pixelFormat = makeFourcc('H', '2', '6', '4');
  const std::pair<const char*, VideoSample> rows[] = {
      {"Empty", withBytes(jpeg, {})},
      {"Truncated",
       withBytes(jpeg, {jpeg.bytes().begin(), jpeg.bytes().begin() + jpeg.bytes().size() / 2})},
      {"NotAJpeg", withBytes(jpeg, garbage)},
      {"HugeClaimedSize", withJpegSize(jpeg, 60000, 60000)},
      {"ClaimedSizeLargerThanData", withJpegSize(jpeg, 4000, 3000)},
      {"OtherSizeThanTheStream", resized(jpeg, 1920, 1080)},
      {"ProgressiveBeyondTheScanLimit", resized(withBytes(jpeg, manyScanJpeg()), 8, 8)},
      {"ShortYuyv", withBytes(yuyv, {yuyv.bytes().begin(), yuyv.bytes().end() - 1})},
      {"ShortNv12", withBytes(nv12, {nv12.bytes().begin(), nv12.bytes().end() - 1})},
      {"YuyvWithoutSize", resized(yuyv, 0, 40)},
      {"UnknownPixelFormat", h264}};
  FrameDecoder decoder;
  QImage decoded;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_NE(decoder.decode(rows[i].second, decoded), "") << rows[i].first;
    const VideoSample& next = good[i % std::size(good)];
    ASSERT_EQ(decoder.decode(next, decoded), "") << rows[i].first;
    ASSERT_EQ(decoded.size(), QSize(next.width, next.height));
    expectQuadrantsClose(decoded);
  }
}

TEST(VideoGeometryTest, TargetRectPlacesThePicture) {
  constexpr auto kFill = QRtcViewMode::scaleAspectFill;
  constexpr auto kFit = QRtcViewMode::scaleAspectFit;
  const QSizeF hd(1920, 1080);
  const QRectF landscape(0, 0, 400, 200);
  const struct {
    QRtcViewMode mode;
    QSizeF content;
    QRectF area;
    QRectF expected;
  } rows[] = {
      // Landscape area, wider picture: fill crops top and bottom, fit letter-boxes the sides.
      {kFill, hd, landscape, {0, -12.5, 400, 225}},
      {kFit, hd, landscape, {22.222, 0, 355.556, 200}},
      {kFit, {400, 400}, {50, 20, 400, 200}, {150, 20, 200, 200}},
      {kFill, {0, 0}, landscape, {}},
      {kFit, hd, {0, 0, 0, 0}, {}}};
  for (const auto& row : rows) {
    const QRectF got = targetRect(row.mode, row.content, row.area);
    EXPECT_NEAR(QLineF(got.topLeft(), row.expected.topLeft()).length() +
                    QLineF(got.bottomRight(), row.expected.bottomRight()).length(),
                0, 0.02)
        << row.content.width() << "x" << row.content.height() << " in " << row.area.width();
  }
  // Mirroring turns about the area's centre.
  EXPECT_EQ(aboutCentre(QTransform::fromScale(-1, 1), {100, 0, 400, 200}).map(QPointF(110, 5)),
            QPointF(490, 5));
}

}  // namespace
}  // namespace vexhal::video
