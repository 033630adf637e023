// Feeds one captured sample to FrameDecoder. The first nine bytes describe it: byte 0 picks the
// pixel format (low two bits: MJPEG, YUYV, NV12, or an unsupported one), whether a smaller
// `wanted` size is asked (bit 2) and whether an MJPEG frame declares the size its own header
// gives (bit 3, so that mutated headers still reach decoding); then the declared width and
// height and the wanted width and height, 16-bit little-endian each. The rest is the frame.

#include <QImage>
#include <QSize>

#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "video/PixelFormat.h"
#include "video/preview/FrameDecoder.h"

namespace {

using vexhal::video::FrameDecoder;

int le16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

constexpr std::size_t kHeaderSize = 9;
// Larger pictures are decoded correctly but slowly; the refusal of oversized ones is still
// reached through sides above FrameDecoder::kMaxSide.
constexpr long kMaxFuzzPixels = 1L << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FrameDecoder decoder;
  static QImage image;  // kept between runs, as the preview does, so reuse is exercised
  if (size < kHeaderSize) return 0;
  static constexpr std::uint32_t kFormats[] = {vexhal::video::kFourccMjpeg,
                                               vexhal::video::kFourccYuyv,
                                               vexhal::video::kFourccNv12, 0x34325247};
  vexhal::video::VideoSample sample;
  sample.pixelFormat = kFormats[data[0] & 3];
  sample.width = le16(data + 1);
  sample.height = le16(data + 3);
  const QSize wanted = (data[0] & 4) != 0 ? QSize(le16(data + 5), le16(data + 7)) : QSize();
  if ((data[0] & 8) != 0 && sample.pixelFormat == vexhal::video::kFourccMjpeg) {
    static tjhandle header = tjInitDecompress();
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(header, data + kHeaderSize,
                            static_cast<unsigned long>(size - kHeaderSize), &sample.width,
                            &sample.height, &subsampling, &colorspace) != 0) {
      return 0;
    }
  }
  const bool withinSides =
      sample.width <= FrameDecoder::kMaxSide && sample.height <= FrameDecoder::kMaxSide;
  if (withinSides && static_cast<long>(sample.width) * sample.height > kMaxFuzzPixels) return 0;
  sample.payload =
      std::make_shared<const std::vector<std::uint8_t>>(data + kHeaderSize, data + size);

  if (!decoder.decode(sample, image, wanted).empty()) return 0;
  // A decoded picture is RGB32 and has the stream's size, or for MJPEG with a wanted size a
  // scaled one that still covers what was wanted where the stream's size could.
  if (image.format() != QImage::Format_RGB32) __builtin_trap();
  const QSize full(sample.width, sample.height);
  if (image.size() == full) return 0;
  if (sample.pixelFormat != vexhal::video::kFourccMjpeg || !wanted.isValid() || wanted.isEmpty()) {
    __builtin_trap();
  }
  if (image.width() > full.width() || image.height() > full.height() ||
      image.width() < wanted.width() || image.height() < wanted.height()) {
    __builtin_trap();
  }
  return 0;
}
