#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/linux/V4l2Syscalls.h"
#include "video/CaptureBackend.h"
#include "video/CaptureFormat.h"
#include "video/SampleBufferPool.h"
#include "video/VideoSample.h"

namespace vexhal::video {

// One open V4L2 video node: capability query, format enumeration, configuration and mmap
// streaming. Owns its descriptor and mappings; closing (or destruction) undoes everything.
// Not thread-safe: one thread uses an instance at a time.
class V4l2Device {
 public:
  V4l2Device(std::shared_ptr<V4l2Syscalls> io, std::string path);
  ~V4l2Device();
  V4l2Device(const V4l2Device&) = delete;
  V4l2Device& operator=(const V4l2Device&) = delete;

  std::optional<CaptureError> open();
  void close();
  int fd() const { return fd_; }

  // True when the node captures video with streaming I/O (metadata nodes do not). `card` gets
  // the driver's name for the device.
  bool isCaptureNode(std::string* card);

  // Formats the preview can show (MJPEG, YUYV, NV12), one entry per frame size, in the order
  // the driver reports them.
  std::vector<CaptureFormat> enumerateFormats();

  // Sets format and frame rate. The driver may adjust the size; the size it chose is kept.
  std::optional<CaptureError> configure(const CaptureFormat& format, double fps);
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::uint32_t pixelFormat() const { return pixelFormat_; }

  std::optional<CaptureError> startStreaming(unsigned bufferCount = 4);

  enum class ReadResult { sample, again, failed };
  // Takes one filled buffer, copies its payload into a pooled buffer and gives the driver buffer
  // back at once, so a waiting sample never holds one.
  ReadResult readSample(SampleBufferPool& pool, VideoSample& sample, CaptureError& error);

  void stopStreaming();

 private:
  struct Mapping {
    void* address = nullptr;
    std::size_t length = 0;
  };

  std::vector<std::pair<std::int32_t, std::int32_t>> frameSizes(std::uint32_t pixelFormat);
  std::vector<FrameRateRange> frameRates(std::uint32_t pixelFormat, std::int32_t width,
                                         std::int32_t height);
  // The error for a failed call: `result` is its negated errno.
  CaptureError systemError(const std::string& what, int result) const;
  void releaseBuffers();

  std::shared_ptr<V4l2Syscalls> io_;
  std::string path_;
  int fd_ = -1;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::uint32_t pixelFormat_ = 0;
  std::vector<Mapping> mappings_;
  bool streaming_ = false;
  bool buffersRequested_ = false;
};

}  // namespace vexhal::video
