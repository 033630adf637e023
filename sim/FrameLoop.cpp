#include "FrameLoop.h"

#include <libyuv.h>
#include <turbojpeg.h>

#include <algorithm>

#include "TestPattern.h"
#include "video/PixelFormat.h"

namespace vexhal::sim {

namespace {

constexpr int kJpegQuality = 80;

// One compressor for the loop being made; turbojpeg handles are not shared between threads.
class JpegEncoder {
 public:
  JpegEncoder() : handle_(tjInitCompress()) {}
  ~JpegEncoder() {
    if (handle_ != nullptr) tjDestroy(handle_);
    if (buffer_ != nullptr) tjFree(buffer_);
  }
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;

  FrameLoop::Frame encode(const YuvPicture& picture) {
    if (handle_ == nullptr) {
      return nullptr;
    }
    const unsigned char* planes[3] = {picture.y.data(), picture.u.data(), picture.v.data()};
    const int strides[3] = {picture.width, picture.width / 2, picture.width / 2};
    unsigned long size = capacity_;
    // The buffer is reused from frame to frame; turbojpeg grows it when a frame needs more.
    if (tjCompressFromYUVPlanes(handle_, planes, picture.width, strides, picture.height, TJSAMP_420,
                                &buffer_, &size, kJpegQuality, TJFLAG_FASTDCT) != 0) {
      return nullptr;
    }
    capacity_ = std::max(capacity_, size);
    return std::make_shared<const std::vector<std::uint8_t>>(buffer_, buffer_ + size);
  }

 private:
  tjhandle handle_;
  unsigned char* buffer_ = nullptr;
  unsigned long capacity_ = 0;
};

FrameLoop::Frame packYuyv(const YuvPicture& picture) {
  auto frame = std::make_shared<std::vector<std::uint8_t>>(
      static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 2);
  libyuv::I420ToYUY2(picture.y.data(), picture.width, picture.u.data(), picture.width / 2,
                     picture.v.data(), picture.width / 2, frame->data(), picture.width * 2,
                     picture.width, picture.height);
  return frame;
}

}  // namespace

int FrameLoop::frameCount(const video::CaptureFormat& format) {
  if (format.pixelFormat != video::kFourccYuyv) {
    return kMaxFrames;
  }
  const std::size_t frameBytes =
      static_cast<std::size_t>(std::max(format.width, 1)) * std::max(format.height, 1) * 2;
  return static_cast<int>(std::clamp<std::size_t>(kMaxLoopBytes / frameBytes, 1, kMaxFrames));
}

std::shared_ptr<const FrameLoop> FrameLoop::build(const video::CaptureFormat& format,
                                                  const PictureSettings& settings,
                                                  std::uint64_t generation,
                                                  const std::function<bool()>& cancelled) {
  const bool jpeg = format.pixelFormat == video::kFourccMjpeg;
  if ((!jpeg && format.pixelFormat != video::kFourccYuyv) || format.width < 2 ||
      format.height < 2 || format.width % 2 != 0 || format.height % 2 != 0) {
    return nullptr;
  }
  const int count = frameCount(format);
  const TestPattern pattern(format.width, format.height, count);
  JpegEncoder encoder;
  YuvPicture picture;
  std::vector<Frame> frames;
  frames.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (cancelled && cancelled()) {
      return nullptr;
    }
    pattern.render(settings, i, picture);
    Frame frame = jpeg ? encoder.encode(picture) : packYuyv(picture);
    if (!frame) {
      return nullptr;
    }
    frames.push_back(std::move(frame));
  }
  return std::shared_ptr<const FrameLoop>(new FrameLoop(std::move(frames), generation));
}

}  // namespace vexhal::sim
