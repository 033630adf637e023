#pragma once

#include <linux/videodev2.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "video/linux/V4l2Io.h"

namespace vexhal::video::testing {

// Stands in for the kernel: video nodes with formats, sizes and intervals, and mmap streaming
// whose frames the test pushes. Each opened node gets a real eventfd as descriptor, readable
// while a pushed frame waits, so the capture thread's poll() works unchanged.
class FakeV4l2Device final : public V4l2Io {
 public:
  struct Size {  // discrete intervals, or a range
    std::uint32_t width = 0, height = 0;
    std::vector<v4l2_fract> intervals;
    std::optional<v4l2_frmival_stepwise> intervalRange;
  };
  struct Format {  // discrete sizes, or a range
    std::uint32_t pixelFormat = 0;
    std::vector<Size> sizes;
    std::optional<v4l2_frmsize_stepwise> sizeRange;
  };
  struct Node {
    std::uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::string card = "Fake Camera";
    std::vector<Format> formats;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> forcedSize;  // the driver's own choice
  };
  struct State {  // what the code under test did
    std::optional<v4l2_pix_format> format;
    std::optional<v4l2_fract> interval;
    std::size_t openDescriptors = 0;
    int mappedBuffers = 0, streamOns = 0, streamOffs = 0;
  };

  ~FakeV4l2Device() override {
    for (const auto& [fd, path] : open_) ::close(fd);
  }

  void addNode(const std::string& path, Node node) {
    const std::lock_guard lock(mutex_);
    nodes_[path] = std::move(node);
  }
  // Queues one frame for the streaming node; the capture thread picks it up.
  void pushFrame(std::vector<std::uint8_t> bytes) {
    const std::lock_guard lock(mutex_);
    frames_.push_back(std::move(bytes));
    if (state_.streamOns != state_.streamOffs) wake(1);
  }
  // The device disappears: DQBUF fails with ENODEV and poll reports POLLERR.
  void unplug() {
    const std::lock_guard lock(mutex_);
    gone_ = true;
    wake(1);
  }
  State state() const {
    const std::lock_guard lock(mutex_);
    State copy = state_;
    copy.openDescriptors = open_.size();
    return copy;
  }

  int open(const char* path, int /*flags*/) override {
    const std::lock_guard lock(mutex_);
    if (nodes_.count(path) == 0 || gone_) return fail(ENOENT);
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
    if (fd >= 0) open_[fd] = path;
    return fd;
  }
  int close(int fd) override {
    const std::lock_guard lock(mutex_);
    if (open_.erase(fd) == 0) return fail(EBADF);
    if (fd == streamingFd_) streamingFd_ = -1;
    return ::close(fd);
  }
  int ioctl(int fd, unsigned long request, void* arg) override {
    const std::lock_guard lock(mutex_);
    const auto found = open_.find(fd);
    if (found == open_.end()) return fail(EBADF);
    if (gone_) return fail(ENODEV);
    const Node& node = nodes_.at(found->second);
    switch (request) {
      case VIDIOC_QUERYCAP: {
        auto* caps = static_cast<v4l2_capability*>(arg);
        std::memset(caps, 0, sizeof *caps);
        std::strncpy(reinterpret_cast<char*>(caps->card), node.card.c_str(), sizeof caps->card - 1);
        caps->device_caps = node.deviceCaps;
        caps->capabilities = node.deviceCaps | V4L2_CAP_DEVICE_CAPS;
        return 0;
      }
      case VIDIOC_ENUM_FMT: {
        auto* description = static_cast<v4l2_fmtdesc*>(arg);
        if (description->index >= node.formats.size()) return fail(EINVAL);
        description->pixelformat = node.formats[description->index].pixelFormat;
        return 0;
      }
      case VIDIOC_ENUM_FRAMESIZES: {
        auto* size = static_cast<v4l2_frmsizeenum*>(arg);
        const Format* format = find(node, size->pixel_format);
        if (format != nullptr && format->sizeRange && size->index == 0) {
          size->type = V4L2_FRMSIZE_TYPE_STEPWISE;
          size->stepwise = *format->sizeRange;
          return 0;
        }
        if (format == nullptr || format->sizeRange || size->index >= format->sizes.size())
          return fail(EINVAL);
        size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        size->discrete = {format->sizes[size->index].width, format->sizes[size->index].height};
        return 0;
      }
      case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* interval = static_cast<v4l2_frmivalenum*>(arg);
        const Format* format = find(node, interval->pixel_format);
        for (const Size& size : format ? format->sizes : std::vector<Size>{}) {
          if (size.width != interval->width || size.height != interval->height) continue;
          if (size.intervalRange && interval->index == 0) {
            interval->type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
            interval->stepwise = *size.intervalRange;
            return 0;
          }
          if (size.intervalRange || interval->index >= size.intervals.size()) break;
          interval->type = V4L2_FRMIVAL_TYPE_DISCRETE;
          interval->discrete = size.intervals[interval->index];
          return 0;
        }
        return fail(EINVAL);
      }
      case VIDIOC_S_FMT: {
        auto& pix = static_cast<v4l2_format*>(arg)->fmt.pix;
        if (node.forcedSize) std::tie(pix.width, pix.height) = *node.forcedSize;
        state_.format = pix;
        return 0;
      }
      case VIDIOC_S_PARM:
        state_.interval = static_cast<v4l2_streamparm*>(arg)->parm.capture.timeperframe;
        return 0;
      default:
        streamingFd_ = fd;
        return stream(request, arg);
    }
  }
  void* mmap(std::size_t length, int /*prot*/, int /*flags*/, int fd, off_t offset) override {
    const std::lock_guard lock(mutex_);
    const auto index = static_cast<std::size_t>(offset) / kBufferStride;
    if (fd != streamingFd_ || index >= buffers_.size() || length > buffers_[index].size()) {
      errno = EINVAL;
      return MAP_FAILED;
    }
    ++state_.mappedBuffers;
    return buffers_[index].data();
  }
  int munmap(void* /*address*/, std::size_t /*length*/) override {
    const std::lock_guard lock(mutex_);
    --state_.mappedBuffers;
    return 0;
  }
  int poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    const int ready = ::poll(fds, count, timeoutMs);
    const std::lock_guard lock(mutex_);
    for (nfds_t i = 0; ready > 0 && gone_ && i < count; ++i) {
      if (fds[i].fd == streamingFd_) fds[i].revents |= POLLERR;
    }
    return ready;
  }

 private:
  static constexpr std::uint32_t kBufferStride = 1U << 24;

  static int fail(int code) { return errno = code, -1; }
  static const Format* find(const Node& node, std::uint32_t pixelFormat) {
    for (const Format& format : node.formats) {
      if (format.pixelFormat == pixelFormat) return &format;
    }
    return nullptr;
  }
  void wake(std::uint64_t count) {
    if (streamingFd_ >= 0 && count > 0) {
      [[maybe_unused]] const auto written = ::write(streamingFd_, &count, sizeof count);
    }
  }

  int stream(unsigned long request, void* arg) {
    auto* buffer = static_cast<v4l2_buffer*>(arg);
    switch (request) {
      case VIDIOC_REQBUFS: {
        queued_.clear();
        const std::size_t size =
            state_.format ? std::size_t{state_.format->width} * state_.format->height * 2 : 4096;
        buffers_.assign(static_cast<v4l2_requestbuffers*>(arg)->count,
                        std::vector<std::uint8_t>(size));
        return 0;
      }
      case VIDIOC_QUERYBUF:
        if (buffer->index >= buffers_.size()) return fail(EINVAL);
        buffer->length = static_cast<std::uint32_t>(buffers_[buffer->index].size());
        buffer->m.offset = buffer->index * kBufferStride;
        return 0;
      case VIDIOC_QBUF:
        if (buffer->index >= buffers_.size()) return fail(EINVAL);
        queued_.push_back(buffer->index);
        return 0;
      case VIDIOC_DQBUF: {
        if (state_.streamOns == state_.streamOffs || frames_.empty() || queued_.empty())
          return fail(EAGAIN);
        std::uint64_t count = 0;
        [[maybe_unused]] const auto drained = ::read(streamingFd_, &count, sizeof count);
        buffer->index = queued_.front();
        queued_.pop_front();
        auto& memory = buffers_[buffer->index];
        const std::size_t used = std::min(frames_.front().size(), memory.size());
        std::memcpy(memory.data(), frames_.front().data(), used);
        frames_.pop_front();
        buffer->bytesused = static_cast<std::uint32_t>(used);
        buffer->length = static_cast<std::uint32_t>(memory.size());
        buffer->flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
        buffer->sequence = sequence_++;
        buffer->timestamp = {static_cast<time_t>(buffer->sequence), 0};
        return 0;
      }
      case VIDIOC_STREAMON:
        ++state_.streamOns;
        wake(frames_.size());  // frames pushed before streaming began become readable now
        return 0;
      case VIDIOC_STREAMOFF:
        ++state_.streamOffs;
        queued_.clear();
        return 0;
      default:
        return fail(ENOTTY);
    }
  }

  mutable std::mutex mutex_;
  std::map<std::string, Node> nodes_;
  std::map<int, std::string> open_;
  int streamingFd_ = -1;
  bool gone_ = false;
  std::vector<std::vector<std::uint8_t>> buffers_;
  std::deque<std::uint32_t> queued_;
  std::deque<std::vector<std::uint8_t>> frames_;
  std::uint32_t sequence_ = 0;
  State state_;
};

}  // namespace vexhal::video::testing
