#include "video/preview/FrameDecoder.h"

#include <libyuv/convert_argb.h>
#include <turbojpeg.h>

#include "video/PixelFormat.h"

namespace vexhal::video {
namespace {

bool ensureImage(QImage& image, int width, int height) {
  if (image.width() != width || image.height() != height ||
      image.format() != QImage::Format_RGB32) {
    image = QImage(width, height, QImage::Format_RGB32);
  }
  return !image.isNull();
}

// A complete JPEG ends with the EOI marker; cameras may pad the payload with zero bytes.
bool endsWithEoi(std::span<const std::uint8_t> bytes) {
  std::size_t end = bytes.size();
  while (end > 2 && bytes[end - 1] == 0) --end;
  return end >= 4 && bytes[end - 2] == 0xff && bytes[end - 1] == 0xd9;
}

// Progressive pictures with more than 500 scans are refused: each scan is a pass over the whole
// picture. TurboJPEG 3 keeps honouring this flag in the API used here (as TJPARAM_SCANLIMIT).
constexpr int kScanLimit = TJFLAG_LIMITSCANS;

}  // namespace

FrameDecoder::FrameDecoder() : handle_(tjInitDecompress()) {}

FrameDecoder::~FrameDecoder() {
  if (handle_ != nullptr) tjDestroy(handle_);
}

std::string FrameDecoder::decode(const VideoSample& sample, QImage& image, QSize wanted) {
  const auto bytes = sample.bytes();
  if (bytes.empty()) return "empty sample";
  if (sample.pixelFormat == kFourccMjpeg) return decodeMjpeg(sample, image, wanted);

  const int width = sample.width;
  const int height = sample.height;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    return "bad picture size " + std::to_string(width) + "x" + std::to_string(height);
  }
  const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const int chromaStride = (width + 1) / 2 * 2;
  const auto chromaRows = static_cast<std::size_t>((height + 1) / 2);
  if (sample.pixelFormat == kFourccYuyv) {
    const int stride = chromaStride * 2;
    if (bytes.size() < static_cast<std::size_t>(stride) * static_cast<std::size_t>(height)) {
      return "truncated YUYV frame";
    }
    if (!ensureImage(image, width, height)) return "out of memory";
    libyuv::YUY2ToARGB(bytes.data(), stride, image.bits(), static_cast<int>(image.bytesPerLine()),
                       width, height);
    return {};
  }
  if (sample.pixelFormat == kFourccNv12) {
    if (bytes.size() < pixels + static_cast<std::size_t>(chromaStride) * chromaRows) {
      return "truncated NV12 frame";
    }
    if (!ensureImage(image, width, height)) return "out of memory";
    libyuv::NV12ToARGB(bytes.data(), width, bytes.data() + pixels, chromaStride, image.bits(),
                       static_cast<int>(image.bytesPerLine()), width, height);
    return {};
  }
  return "unsupported pixel format " + fourccText(sample.pixelFormat);
}

std::string FrameDecoder::decodeMjpeg(const VideoSample& sample, QImage& image, QSize wanted) {
  const auto bytes = sample.bytes();
  if (handle_ == nullptr) return "no JPEG decoder";
  if (!endsWithEoi(bytes)) return "truncated JPEG frame";
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(handle_, bytes.data(), static_cast<unsigned long>(bytes.size()), &width,
                          &height, &subsampling, &colorspace) != 0) {
    return std::string("bad JPEG header: ") + tjGetErrorStr2(handle_);
  }
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    return "bad JPEG size " + std::to_string(width) + "x" + std::to_string(height);
  }
  // A frame of another size than the stream's costs time and memory beyond what the preview
  // planned for (a crafted 8192 x 8192 one takes half a second).
  if (width != sample.width || height != sample.height) {
    return "JPEG size " + std::to_string(width) + "x" + std::to_string(height) +
           " differs from the stream's " + std::to_string(sample.width) + "x" +
           std::to_string(sample.height);
  }

  int scaledWidth = width;
  int scaledHeight = height;
  if (wanted.width() > 0 && wanted.height() > 0) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors != nullptr && i < count; ++i) {
      const int w = TJSCALED(width, factors[i]);
      const int h = TJSCALED(height, factors[i]);
      if (w >= wanted.width() && h >= wanted.height() && w * h < scaledWidth * scaledHeight) {
        scaledWidth = w;
        scaledHeight = h;
      }
    }
  }
  if (!ensureImage(image, scaledWidth, scaledHeight)) return "out of memory";
  if (tjDecompress2(handle_, bytes.data(), static_cast<unsigned long>(bytes.size()), image.bits(),
                    scaledWidth, static_cast<int>(image.bytesPerLine()), scaledHeight, TJPF_BGRX,
                    TJFLAG_FASTDCT | kScanLimit) != 0) {
    // Warnings too: they mean damaged picture data, and the previous frame is better to keep.
    return std::string("corrupt JPEG frame: ") + tjGetErrorStr2(handle_);
  }
  return {};
}

}  // namespace vexhal::video
