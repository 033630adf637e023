#pragma once

#include <linux/videodev2.h>

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "video/linux/V4l2Io.h"

namespace vexhal::video::testing {

// Stands in for the kernel: video nodes with formats, sizes and intervals, and mmap streaming
// whose frames the test pushes. Each opened node gets a real eventfd as descriptor, readable
// while a pushed frame waits, so the capture thread's poll() works unchanged.
class FakeV4l2Device final : public V4l2Io {
public:
  struct Size {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Discrete intervals (numerator, denominator); ignored when `intervalRange` is set.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> intervals;
    std::optional<v4l2_frmival_stepwise> intervalRange;
  };
  struct Format {
    std::uint32_t pixelFormat = 0;
    std::vector<Size> sizes;
    std::optional<v4l2_frmsize_stepwise> sizeRange;
  };
  struct Node {
    std::uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::string card = "Fake Camera";
    std::vector<Format> formats;
    // Changes the driver makes to a requested size (none when empty).
    std::optional<std::pair<std::uint32_t, std::uint32_t>> forcedSize;
  };

  ~FakeV4l2Device() override;

  void addNode(const std::string& path, Node node);
  // Queues one frame for the streaming node; the capture thread picks it up.
  void pushFrame(std::vector<std::uint8_t> bytes);
  // The device disappears: DQBUF fails with ENODEV and poll reports POLLERR.
  void unplug();

  // What the code under test did.
  std::optional<v4l2_pix_format> lastFormat() const;
  std::optional<v4l2_fract> lastFrameInterval() const;
  int openDescriptors() const;
  int mappedBuffers() const;
  int streamOnCount() const;
  int streamOffCount() const;

  int open(const char* path, int flags) override;
  int close(int fd) override;
  int ioctl(int fd, unsigned long request, void* arg) override;
  void* mmap(std::size_t length, int prot, int flags, int fd, off_t offset) override;
  int munmap(void* address, std::size_t length) override;
  int poll(pollfd* fds, nfds_t count, int timeoutMs) override;

private:
  static constexpr std::uint32_t kBufferStride = 1U << 24;

  int fail(int code) const;
  int enumerate(const Node& node, unsigned long request, void* arg) const;
  int stream(unsigned long request, void* arg);

  mutable std::mutex mutex_;
  std::map<std::string, Node> nodes_;
  std::map<int, std::string> open_;
  int streamingFd_ = -1;
  bool gone_ = false;
  std::vector<std::vector<std::uint8_t>> buffers_;
  std::deque<std::uint32_t> queued_;
  std::deque<std::vector<std::uint8_t>> frames_;
  std::uint32_t sequence_ = 0;
  std::optional<v4l2_pix_format> format_;
  std::optional<v4l2_fract> interval_;
  int mapped_ = 0;
  int streamOn_ = 0;
  int streamOff_ = 0;
};

}  // namespace vexhal::video::testing
