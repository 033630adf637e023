#include "FakeV4l2Device.h"

#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexhal::video::testing {

FakeV4l2Device::~FakeV4l2Device() {
  for (const auto& [fd, path] : open_) ::close(fd);
}

void FakeV4l2Device::addNode(const std::string& path, Node node) {
  const std::lock_guard lock(mutex_);
  nodes_[path] = std::move(node);
}

void FakeV4l2Device::pushFrame(std::vector<std::uint8_t> bytes) {
  const std::lock_guard lock(mutex_);
  frames_.push_back(std::move(bytes));
  if (streamingFd_ >= 0 && streamOn_ != streamOff_) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(streamingFd_, &one, sizeof one);
  }
}

void FakeV4l2Device::unplug() {
  const std::lock_guard lock(mutex_);
  gone_ = true;
  if (streamingFd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(streamingFd_, &one, sizeof one);
  }
}

std::optional<v4l2_pix_format> FakeV4l2Device::lastFormat() const {
  const std::lock_guard lock(mutex_);
  return format_;
}
std::optional<v4l2_fract> FakeV4l2Device::lastFrameInterval() const {
  const std::lock_guard lock(mutex_);
  return interval_;
}
int FakeV4l2Device::openDescriptors() const {
  const std::lock_guard lock(mutex_);
  return static_cast<int>(open_.size());
}
int FakeV4l2Device::mappedBuffers() const {
  const std::lock_guard lock(mutex_);
  return mapped_;
}
int FakeV4l2Device::streamOnCount() const {
  const std::lock_guard lock(mutex_);
  return streamOn_;
}
int FakeV4l2Device::streamOffCount() const {
  const std::lock_guard lock(mutex_);
  return streamOff_;
}

int FakeV4l2Device::fail(int code) const {
  errno = code;
  return -1;
}

int FakeV4l2Device::open(const char* path, int /*flags*/) {
  const std::lock_guard lock(mutex_);
  if (nodes_.count(path) == 0 || gone_) return fail(ENOENT);
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
  if (fd < 0) return -1;
  open_[fd] = path;
  return fd;
}

int FakeV4l2Device::close(int fd) {
  const std::lock_guard lock(mutex_);
  if (open_.erase(fd) == 0) return fail(EBADF);
  if (fd == streamingFd_) streamingFd_ = -1;
  return ::close(fd);
}

int FakeV4l2Device::enumerate(const Node& node, unsigned long request, void* arg) const {
  const auto findFormat = [&node](std::uint32_t pixelFormat) -> const Format* {
    for (const Format& format : node.formats) {
      if (format.pixelFormat == pixelFormat) return &format;
    }
    return nullptr;
  };
  if (request == VIDIOC_ENUM_FMT) {
    auto* description = static_cast<v4l2_fmtdesc*>(arg);
    if (description->type != V4L2_BUF_TYPE_VIDEO_CAPTURE ||
        description->index >= node.formats.size()) {
      return fail(EINVAL);
    }
    description->pixelformat = node.formats[description->index].pixelFormat;
    return 0;
  }
  if (request == VIDIOC_ENUM_FRAMESIZES) {
    auto* size = static_cast<v4l2_frmsizeenum*>(arg);
    const Format* format = findFormat(size->pixel_format);
    if (format == nullptr) return fail(EINVAL);
    if (format->sizeRange) {
      if (size->index != 0) return fail(EINVAL);
      size->type = V4L2_FRMSIZE_TYPE_STEPWISE;
      size->stepwise = *format->sizeRange;
      return 0;
    }
    if (size->index >= format->sizes.size()) return fail(EINVAL);
    size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
    size->discrete = {format->sizes[size->index].width, format->sizes[size->index].height};
    return 0;
  }
  auto* interval = static_cast<v4l2_frmivalenum*>(arg);
  const Format* format = findFormat(interval->pixel_format);
  if (format == nullptr) return fail(EINVAL);
  for (const Size& size : format->sizes) {
    if (size.width != interval->width || size.height != interval->height) continue;
    if (size.intervalRange) {
      if (interval->index != 0) return fail(EINVAL);
      interval->type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
      interval->stepwise = *size.intervalRange;
      return 0;
    }
    if (interval->index >= size.intervals.size()) return fail(EINVAL);
    interval->type = V4L2_FRMIVAL_TYPE_DISCRETE;
    interval->discrete = {size.intervals[interval->index].first,
                          size.intervals[interval->index].second};
    return 0;
  }
  return fail(EINVAL);
}

int FakeV4l2Device::ioctl(int fd, unsigned long request, void* arg) {
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
    case VIDIOC_ENUM_FMT:
    case VIDIOC_ENUM_FRAMESIZES:
    case VIDIOC_ENUM_FRAMEINTERVALS:
      return enumerate(node, request, arg);
    case VIDIOC_S_FMT: {
      auto* format = static_cast<v4l2_format*>(arg);
      if (node.forcedSize) {
        format->fmt.pix.width = node.forcedSize->first;
        format->fmt.pix.height = node.forcedSize->second;
      }
      format_ = format->fmt.pix;
      return 0;
    }
    case VIDIOC_S_PARM:
      interval_ = static_cast<v4l2_streamparm*>(arg)->parm.capture.timeperframe;
      return 0;
    default:
      break;
  }
  if (streamingFd_ >= 0 && streamingFd_ != fd) return fail(EBUSY);
  streamingFd_ = fd;
  return stream(request, arg);
}

int FakeV4l2Device::stream(unsigned long request, void* arg) {
  switch (request) {
    case VIDIOC_REQBUFS: {
      auto* requestBuffers = static_cast<v4l2_requestbuffers*>(arg);
      queued_.clear();
      buffers_.assign(requestBuffers->count, {});
      const std::size_t size = format_ ? std::size_t{format_->width} * format_->height * 2 : 4096;
      for (auto& buffer : buffers_) buffer.assign(size, 0);
      return 0;
    }
    case VIDIOC_QUERYBUF: {
      auto* buffer = static_cast<v4l2_buffer*>(arg);
      if (buffer->index >= buffers_.size()) return fail(EINVAL);
      buffer->length = static_cast<std::uint32_t>(buffers_[buffer->index].size());
      buffer->m.offset = buffer->index * kBufferStride;
      return 0;
    }
    case VIDIOC_QBUF: {
      const auto* buffer = static_cast<v4l2_buffer*>(arg);
      if (buffer->index >= buffers_.size()) return fail(EINVAL);
      queued_.push_back(buffer->index);
      return 0;
    }
    case VIDIOC_DQBUF: {
      auto* buffer = static_cast<v4l2_buffer*>(arg);
      if (streamOn_ == streamOff_ || frames_.empty() || queued_.empty()) return fail(EAGAIN);
      std::uint64_t count = 0;
      [[maybe_unused]] const auto drained = ::read(streamingFd_, &count, sizeof count);
      const std::uint32_t index = queued_.front();
      queued_.pop_front();
      std::vector<std::uint8_t> frame = std::move(frames_.front());
      frames_.pop_front();
      auto& memory = buffers_[index];
      const std::size_t used = std::min(frame.size(), memory.size());
      std::memcpy(memory.data(), frame.data(), used);
      buffer->index = index;
      buffer->bytesused = static_cast<std::uint32_t>(used);
      buffer->length = static_cast<std::uint32_t>(memory.size());
      buffer->flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
      buffer->sequence = sequence_++;
      buffer->timestamp = {static_cast<time_t>(buffer->sequence), 0};
      return 0;
    }
    case VIDIOC_STREAMON: {
      ++streamOn_;
      // Frames pushed before streaming began become readable now.
      const std::uint64_t pending = frames_.size();
      if (pending > 0) {
        [[maybe_unused]] const auto written = ::write(streamingFd_, &pending, sizeof pending);
      }
      return 0;
    }
    case VIDIOC_STREAMOFF:
      ++streamOff_;
      queued_.clear();
      return 0;
    default:
      return fail(ENOTTY);
  }
}

void* FakeV4l2Device::mmap(std::size_t length, int /*prot*/, int /*flags*/, int fd, off_t offset) {
  const std::lock_guard lock(mutex_);
  const auto index = static_cast<std::size_t>(offset) / kBufferStride;
  if (fd != streamingFd_ || index >= buffers_.size() || length > buffers_[index].size()) {
    errno = EINVAL;
    return MAP_FAILED;
  }
  ++mapped_;
  return buffers_[index].data();
}

int FakeV4l2Device::munmap(void* /*address*/, std::size_t /*length*/) {
  const std::lock_guard lock(mutex_);
  --mapped_;
  return 0;
}

int FakeV4l2Device::poll(pollfd* fds, nfds_t count, int timeoutMs) {
  const int ready = ::poll(fds, count, timeoutMs);
  const std::lock_guard lock(mutex_);
  if (ready > 0 && gone_) {
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].fd == streamingFd_) fds[i].revents |= POLLERR;
    }
  }
  return ready;
}

}  // namespace vexhal::video::testing
