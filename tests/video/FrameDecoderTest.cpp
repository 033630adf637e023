#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <algorithm>
#include <functional>

#include "TestPictures.h"
#include "video/FrameDecoder.h"
#include "video/PixelFormat.h"

namespace vexhal::video {
namespace {

using namespace testing;

struct RoundTripCase {
  const char* name;
  std::function<VideoSample(const QImage&)> make;
  int width;
  int height;
};

class DecodeRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

// Each quadrant's inner half, away from the edges where chroma subsampling blends colours.
void expectQuadrantsClose(const QImage& decoded, int tolerance) {
  const int w = decoded.width();
  const int h = decoded.height();
  for (int q = 0; q < 4; ++q) {
    const int x0 = (q % 2) * w / 2 + w / 8;
    const int y0 = (q / 2) * h / 2 + h / 8;
    const QColor want = quadrantColor(q);
    for (int y = y0; y < y0 + h / 4; ++y) {
      for (int x = x0; x < x0 + w / 4; ++x) {
        const QColor got = decoded.pixelColor(x, y);
        ASSERT_LE(std::abs(got.red() - want.red()), tolerance) << q << " at " << x << "," << y;
        ASSERT_LE(std::abs(got.green() - want.green()), tolerance) << q;
        ASSERT_LE(std::abs(got.blue() - want.blue()), tolerance) << q;
      }
    }
  }
}

TEST_P(DecodeRoundTripTest, GivesThePictureBackWithinTolerance) {
  const QImage picture = quadrantPicture(GetParam().width, GetParam().height);
  FrameDecoder decoder;
  QImage decoded;
  ASSERT_EQ(decoder.decode(GetParam().make(picture), decoded), "");
  ASSERT_EQ(decoded.size(), picture.size());
  EXPECT_EQ(decoded.format(), QImage::Format_RGB32);
  expectQuadrantsClose(decoded, 12);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodeRoundTripTest,
    ::testing::Values(RoundTripCase{"Mjpeg", mjpegSample, 128, 96},
                      RoundTripCase{"MjpegOddSize", mjpegSample, 101, 75},
                      RoundTripCase{"Yuyv", yuyvSample, 128, 96},
                      RoundTripCase{"YuyvOddWidth", yuyvSample, 67, 40},
                      RoundTripCase{"Nv12", nv12Sample, 128, 96},
                      RoundTripCase{"Nv12OddSize", nv12Sample, 67, 41}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FrameDecoderTest, MjpegIsDecodedAtTheSmallestScaleCoveringTheWantedSize) {
  const VideoSample sample = mjpegSample(quadrantPicture(128, 96));
  FrameDecoder decoder;
  QImage decoded;
  ASSERT_EQ(decoder.decode(sample, decoded, QSize(32, 24)), "");
  EXPECT_EQ(decoded.size(), QSize(32, 24));
  expectQuadrantsClose(decoded, 12);
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
  jpeg.insert(jpeg.end(), {0xff, 0xc2, 0x00, 0x0b, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01,
                           0x11, 0x00});
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

struct CorruptCase {
  const char* name;
  std::function<VideoSample()> make;
};

class CorruptFrameTest : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptFrameTest, IsRefusedAndTheDecoderStaysUsable) {
  FrameDecoder decoder;
  QImage decoded;
  EXPECT_NE(decoder.decode(GetParam().make(), decoded), "");
  const QImage picture = quadrantPicture(64, 48);
  ASSERT_EQ(decoder.decode(mjpegSample(picture), decoded), "");
  expectQuadrantsClose(decoded, 12);
}

const QImage kPicture = quadrantPicture(64, 48);

INSTANTIATE_TEST_SUITE_P(
    Frames, CorruptFrameTest,
    ::testing::Values(
        CorruptCase{"Empty", [] { return withBytes(mjpegSample(kPicture), {}); }},
        CorruptCase{"Truncated",
                    [] {
                      const auto whole = mjpegSample(kPicture);
                      const auto bytes = whole.bytes();
                      return withBytes(whole, {bytes.begin(), bytes.begin() + bytes.size() / 2});
                    }},
        CorruptCase{"NotAJpeg",
                    [] {
                      std::vector<std::uint8_t> garbage(4000);
                      for (std::size_t i = 0; i < garbage.size(); ++i) {
                        garbage[i] = static_cast<std::uint8_t>(i * 31 + 7);
                      }
                      garbage[3998] = 0xff;
                      garbage[3999] = 0xd9;
                      return withBytes(mjpegSample(kPicture), garbage);
                    }},
        CorruptCase{"HugeClaimedSize",
                    [] { return withJpegSize(mjpegSample(kPicture), 60000, 60000); }},
        CorruptCase{"ClaimedSizeLargerThanData",
                    [] { return withJpegSize(mjpegSample(kPicture), 4000, 3000); }},
        CorruptCase{"OtherSizeThanTheStream",
                    [] {
                      auto sample = mjpegSample(kPicture);
                      sample.width = 1920;
                      sample.height = 1080;
                      return sample;
                    }},
        CorruptCase{"ProgressiveBeyondTheScanLimit",
                    [] {
                      auto sample = withBytes(mjpegSample(kPicture), manyScanJpeg());
                      sample.width = 8;
                      sample.height = 8;
                      return sample;
                    }},
        CorruptCase{"ShortYuyv",
                    [] {
                      auto sample = yuyvSample(kPicture);
                      const auto bytes = sample.bytes();
                      return withBytes(sample, {bytes.begin(), bytes.end() - 1});
                    }},
        CorruptCase{"ShortNv12",
                    [] {
                      auto sample = nv12Sample(kPicture);
                      const auto bytes = sample.bytes();
                      return withBytes(sample, {bytes.begin(), bytes.end() - 1});
                    }},
        CorruptCase{"YuyvWithoutSize",
                    [] {
                      auto sample = yuyvSample(kPicture);
                      sample.width = 0;
                      return sample;
                    }},
        CorruptCase{"UnknownPixelFormat",
                    [] {
                      auto sample = yuyvSample(kPicture);
                      sample.pixelFormat = makeFourcc('H', '2', '6', '4');
                      return sample;
                    }}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace vexhal::video
