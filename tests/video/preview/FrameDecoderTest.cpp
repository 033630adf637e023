#include <gtest/gtest.h>

#include <functional>

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

TEST(FrameDecoderTest, GivesThePictureBackWithinTolerance) {
  const struct {
    VideoSample (*make)(const QImage&);
    int width;
    int height;
  } rows[] = {{mjpegSample, 128, 96}, {mjpegSample, 101, 75}, {yuyvSample, 128, 96},
              {yuyvSample, 67, 40},   {nv12Sample, 128, 96},  {nv12Sample, 67, 41}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.width);
    const QImage picture = quadrantPicture(row.width, row.height);
    FrameDecoder decoder;
    QImage decoded;
    ASSERT_EQ(decoder.decode(row.make(picture), decoded), "");
    ASSERT_EQ(decoded.size(), picture.size());
    EXPECT_EQ(decoded.format(), QImage::Format_RGB32);
    expectQuadrantsClose(decoded);
  }
}

TEST(FrameDecoderTest, MjpegIsDecodedAtTheSmallestScaleCoveringTheWantedSize) {
  const VideoSample sample = mjpegSample(quadrantPicture(128, 96));
  FrameDecoder decoder;
  QImage decoded;
  ASSERT_EQ(decoder.decode(sample, decoded, QSize(32, 24)), "");
  EXPECT_EQ(decoded.size(), QSize(32, 24));
  expectQuadrantsClose(decoded);
  ASSERT_EQ(decoder.decode(sample, decoded, QSize(100, 75)), "");
  EXPECT_EQ(decoded.size(), QSize(112, 84));
  ASSERT_EQ(decoder.decode(sample, decoded, QSize(400, 300)), "");
  EXPECT_EQ(decoded.size(), QSize(128, 96));
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

TEST(FrameDecoderTest, CorruptFramesAreRefusedAndTheDecoderStaysUsable) {
  const QImage picture = quadrantPicture(64, 48);
  const VideoSample jpeg = mjpegSample(picture);
  const VideoSample yuyv = yuyvSample(picture);
  const VideoSample nv12 = nv12Sample(picture);
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
      {"YuyvWithoutSize", resized(yuyv, 0, 48)},
      {"UnknownPixelFormat", h264}};
  FrameDecoder decoder;
  QImage decoded;
  for (const auto& [name, corrupt] : rows) {
    EXPECT_NE(decoder.decode(corrupt, decoded), "") << name;
    ASSERT_EQ(decoder.decode(jpeg, decoded), "") << name;
    expectQuadrantsClose(decoded);
  }
}

TEST(VideoGeometryTest, TargetRectPlacesThePicture) {
  constexpr auto kFill = QRtcViewMode::scaleAspectFill;
  constexpr auto kFit = QRtcViewMode::scaleAspectFit;
  const QSizeF hd(1920, 1080);
  const QRectF landscape(0, 0, 400, 200);
  const QRectF portrait(0, 0, 200, 400);
  const struct {
    QRtcViewMode mode;
    QSizeF content;
    QRectF area;
    QRectF expected;
  } rows[] = {
      // Landscape area, wider picture: fill crops top and bottom, fit letter-boxes the sides.
      {kFill, hd, landscape, {0, -12.5, 400, 225}},
      {kFit, hd, landscape, {22.222, 0, 355.556, 200}},
      {QRtcViewMode::scaleToFill, hd, portrait, portrait},
      {kFill, hd, portrait, {-255.556, 0, 711.111, 400}},
      {kFit, hd, portrait, {0, 143.75, 200, 112.5}},
      {kFit, {480, 640}, landscape, {125, 0, 150, 200}},
      {kFill, {480, 640}, landscape, {0, -166.667, 400, 533.333}},
      {kFit, {400, 400}, {50, 20, 400, 200}, {150, 20, 200, 200}},
      {kFill, hd, {0, 0, 960, 540}, {0, 0, 960, 540}},
      {kFill, {0, 0}, landscape, {}},
      {kFit, hd, {0, 0, 0, 0}, {}}};
  for (const auto& row : rows) {
    const QRectF got = targetRect(row.mode, row.content, row.area);
    for (const auto& [a, b] :
         {std::pair(got.x(), row.expected.x()), std::pair(got.y(), row.expected.y()),
          std::pair(got.width(), row.expected.width()),
          std::pair(got.height(), row.expected.height())}) {
      EXPECT_NEAR(a, b, 0.01) << row.content.width() << "x" << row.content.height() << " in "
                              << row.area.width();
    }
  }
  // Mirroring turns about the area's centre.
  const QTransform flip = QTransform::fromScale(-1, 1);
  EXPECT_EQ(aboutCentre(flip, {0, 0, 400, 200}).map(QPointF(10, 5)), QPointF(390, 5));
  EXPECT_EQ(aboutCentre(flip, {100, 0, 400, 200}).map(QPointF(110, 5)), QPointF(490, 5));
  EXPECT_EQ(aboutCentre(flip, {0, 0, 400, 200}).map(QPointF(200, 80)), QPointF(200, 80));
  EXPECT_TRUE(aboutCentre(QTransform(), {30, 40, 400, 200}).isIdentity());
}

}  // namespace
}  // namespace vexhal::video
