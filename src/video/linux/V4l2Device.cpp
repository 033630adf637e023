#include "video/linux/V4l2Device.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "video/PixelFormat.h"

namespace vexhal::video {
namespace {

bool isShownFormat(std::uint32_t pixelFormat) {
  return pixelFormat == kFourccMjpeg || pixelFormat == kFourccYuyv || pixelFormat == kFourccNv12;
}

double rateOf(const v4l2_fract& interval) {
  return interval.numerator == 0 ? 0.0
                                 : static_cast<double>(interval.denominator) / interval.numerator;
}

std::int64_t monotonicNowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Sizes offered for a stepwise or continuous frame-size range: its ends and the usual camera
// sizes that lie on its grid.
std::vector<std::pair<std::int32_t, std::int32_t>> stepwiseSizes(
    const v4l2_frmsize_stepwise& range) {
  static constexpr std::pair<std::uint32_t, std::uint32_t> kCommon[] = {
      {3840, 2160}, {1920, 1080}, {1280, 720}, {640, 480}, {320, 240}};
  const auto onGrid = [](std::uint32_t value, std::uint32_t low, std::uint32_t high,
                         std::uint32_t step) {
    return value >= low && value <= high && (step == 0 || (value - low) % step == 0);
  };
  std::vector<std::pair<std::int32_t, std::int32_t>> sizes;
  const auto add = [&sizes](std::uint32_t w, std::uint32_t h) {
    const std::pair<std::int32_t, std::int32_t> size(static_cast<std::int32_t>(w),
                                                     static_cast<std::int32_t>(h));
    if (std::find(sizes.begin(), sizes.end(), size) == sizes.end()) sizes.push_back(size);
  };
  add(range.max_width, range.max_height);
  for (const auto& [w, h] : kCommon) {
    if (onGrid(w, range.min_width, range.max_width, range.step_width) &&
        onGrid(h, range.min_height, range.max_height, range.step_height)) {
      add(w, h);
    }
  }
  add(range.min_width, range.min_height);
  return sizes;
}

}  // namespace

V4l2Device::V4l2Device(std::shared_ptr<V4l2Syscalls> io, std::string path)
    : io_(std::move(io)), path_(std::move(path)) {}

V4l2Device::~V4l2Device() { close(); }

CaptureError V4l2Device::systemError(const std::string& what, int result) const {
  return {what + " " + path_ + ": " + std::strerror(-result), -result};
}

std::optional<CaptureError> V4l2Device::open() {
  close();
  const int fd = io_->open(path_.c_str(), O_RDWR | O_NONBLOCK);
  if (fd < 0) return systemError("cannot open", fd);
  fd_ = fd;
  return std::nullopt;
}

void V4l2Device::close() {
  stopStreaming();
  if (fd_ >= 0) {
    io_->close(fd_);
    fd_ = -1;
  }
}

bool V4l2Device::isCaptureNode(std::string* card) {
  v4l2_capability caps{};
  if (io_->ioctl(fd_, VIDIOC_QUERYCAP, &caps) < 0) return false;
  const std::uint32_t deviceCaps =
      (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
  if (card != nullptr) {
    const auto* text = reinterpret_cast<const char*>(caps.card);
    *card = std::string(text, strnlen(text, sizeof caps.card));
  }
  return (deviceCaps & V4L2_CAP_VIDEO_CAPTURE) != 0 && (deviceCaps & V4L2_CAP_STREAMING) != 0;
}

std::vector<CaptureFormat> V4l2Device::enumerateFormats() {
  std::vector<CaptureFormat> formats;
  for (std::uint32_t index = 0;; ++index) {
    v4l2_fmtdesc description{};
    description.index = index;
    description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io_->ioctl(fd_, VIDIOC_ENUM_FMT, &description) < 0) break;
    if (!isShownFormat(description.pixelformat)) continue;
    for (const auto& [width, height] : frameSizes(description.pixelformat)) {
      formats.push_back({width, height, description.pixelformat,
                         frameRates(description.pixelformat, width, height)});
    }
  }
  return formats;
}

std::vector<std::pair<std::int32_t, std::int32_t>> V4l2Device::frameSizes(
    std::uint32_t pixelFormat) {
  std::vector<std::pair<std::int32_t, std::int32_t>> sizes;
  for (std::uint32_t index = 0;; ++index) {
    v4l2_frmsizeenum size{};
    size.index = index;
    size.pixel_format = pixelFormat;
    if (io_->ioctl(fd_, VIDIOC_ENUM_FRAMESIZES, &size) < 0) break;
    if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      sizes.emplace_back(static_cast<std::int32_t>(size.discrete.width),
                         static_cast<std::int32_t>(size.discrete.height));
      continue;
    }
    // A stepwise or continuous range is reported once, at index 0.
    return stepwiseSizes(size.stepwise);
  }
  return sizes;
}

std::vector<FrameRateRange> V4l2Device::frameRates(std::uint32_t pixelFormat, std::int32_t width,
                                                   std::int32_t height) {
  std::vector<FrameRateRange> ranges;
  for (std::uint32_t index = 0;; ++index) {
    v4l2_frmivalenum interval{};
    interval.index = index;
    interval.pixel_format = pixelFormat;
    interval.width = static_cast<std::uint32_t>(width);
    interval.height = static_cast<std::uint32_t>(height);
    if (io_->ioctl(fd_, VIDIOC_ENUM_FRAMEINTERVALS, &interval) < 0) break;
    if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      const double rate = rateOf(interval.discrete);
      if (rate > 0) ranges.push_back({rate, rate});
      continue;
    }
    // The longest interval is the lowest rate.
    const double low = rateOf(interval.stepwise.max);
    const double high = rateOf(interval.stepwise.min);
    if (low > 0 && high > 0) ranges.push_back({std::min(low, high), std::max(low, high)});
    break;
  }
  return ranges;
}

std::optional<CaptureError> V4l2Device::configure(const CaptureFormat& format, double fps) {
  v4l2_format wanted{};
  wanted.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  wanted.fmt.pix.width = static_cast<std::uint32_t>(format.width);
  wanted.fmt.pix.height = static_cast<std::uint32_t>(format.height);
  wanted.fmt.pix.pixelformat = format.pixelFormat;
  wanted.fmt.pix.field = V4L2_FIELD_ANY;
  if (const int result = io_->ioctl(fd_, VIDIOC_S_FMT, &wanted); result < 0) {
    return systemError("cannot set format on", result);
  }
  if (wanted.fmt.pix.pixelformat != format.pixelFormat || wanted.fmt.pix.width == 0 ||
      wanted.fmt.pix.height == 0) {
    return CaptureError{"the driver of " + path_ + " refused format " + describe(format), EINVAL};
  }
  width_ = static_cast<std::int32_t>(wanted.fmt.pix.width);
  height_ = static_cast<std::int32_t>(wanted.fmt.pix.height);
  pixelFormat_ = wanted.fmt.pix.pixelformat;

  if (fps > 0 && std::isfinite(fps)) {
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    parm.parm.capture.timeperframe.numerator = 1000;
    parm.parm.capture.timeperframe.denominator =
        static_cast<std::uint32_t>(std::lround(fps * 1000));
    // Drivers without frame-rate control keep their own rate; capture still works.
    io_->ioctl(fd_, VIDIOC_S_PARM, &parm);
  }
  return std::nullopt;
}

std::optional<CaptureError> V4l2Device::startStreaming(unsigned bufferCount) {
  v4l2_requestbuffers request{};
  request.count = bufferCount;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  if (const int result = io_->ioctl(fd_, VIDIOC_REQBUFS, &request); result < 0) {
    return systemError("cannot get buffers of", result);
  }
  buffersRequested_ = true;
  if (request.count < 2) {
    releaseBuffers();
    return CaptureError{"too few capture buffers on " + path_, ENOMEM};
  }
  for (std::uint32_t index = 0; index < request.count; ++index) {
    v4l2_buffer buffer{};
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (const int result = io_->ioctl(fd_, VIDIOC_QUERYBUF, &buffer); result < 0) {
      const auto error = systemError("cannot query a buffer of", result);
      releaseBuffers();
      return error;
    }
    void* address = nullptr;
    if (const int result = io_->mmap(buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_,
                                     static_cast<off_t>(buffer.m.offset), &address);
        result < 0) {
      const auto error = systemError("cannot map a buffer of", result);
      releaseBuffers();
      return error;
    }
    mappings_.push_back({address, buffer.length});
    if (const int result = io_->ioctl(fd_, VIDIOC_QBUF, &buffer); result < 0) {
      const auto error = systemError("cannot queue a buffer of", result);
      releaseBuffers();
      return error;
    }
  }
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (const int result = io_->ioctl(fd_, VIDIOC_STREAMON, &type); result < 0) {
    const auto error = systemError("cannot start streaming on", result);
    releaseBuffers();
    return error;
  }
  streaming_ = true;
  return std::nullopt;
}

V4l2Device::ReadResult V4l2Device::readSample(SampleBufferPool& pool, VideoSample& sample,
                                              CaptureError& error) {
  v4l2_buffer buffer{};
  buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  buffer.memory = V4L2_MEMORY_MMAP;
  if (const int result = io_->ioctl(fd_, VIDIOC_DQBUF, &buffer); result < 0) {
    if (result == -EAGAIN) return ReadResult::again;
    error = systemError("cannot read a frame from", result);
    return ReadResult::failed;
  }
  if (buffer.index >= mappings_.size()) {
    error = {"the driver of " + path_ + " returned an unknown buffer", EIO};
    return ReadResult::failed;
  }
  const Mapping& mapping = mappings_[buffer.index];
  const std::size_t used = std::min<std::size_t>(buffer.bytesused, mapping.length);
  const bool good = (buffer.flags & V4L2_BUF_FLAG_ERROR) == 0 && used > 0;
  if (good) {
    auto payload = pool.acquire(used);
    std::memcpy(payload->data(), mapping.address, used);
    sample.payload = std::move(payload);
    sample.pixelFormat = pixelFormat_;
    sample.width = width_;
    sample.height = height_;
    const bool monotonic =
        (buffer.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    sample.timestampNs = monotonic
                             ? static_cast<std::int64_t>(buffer.timestamp.tv_sec) * 1'000'000'000 +
                                   static_cast<std::int64_t>(buffer.timestamp.tv_usec) * 1000
                             : monotonicNowNs();
  }
  if (const int result = io_->ioctl(fd_, VIDIOC_QBUF, &buffer); result < 0) {
    error = systemError("cannot give a buffer back to", result);
    return ReadResult::failed;
  }
  return good ? ReadResult::sample : ReadResult::again;
}

void V4l2Device::stopStreaming() {
  if (streaming_) {
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    io_->ioctl(fd_, VIDIOC_STREAMOFF, &type);
    streaming_ = false;
  }
  releaseBuffers();
}

void V4l2Device::releaseBuffers() {
  for (const Mapping& mapping : mappings_) io_->munmap(mapping.address, mapping.length);
  mappings_.clear();
  if (!buffersRequested_) return;
  buffersRequested_ = false;
  v4l2_requestbuffers request{};
  request.count = 0;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  io_->ioctl(fd_, VIDIOC_REQBUFS, &request);
}

}  // namespace vexhal::video
