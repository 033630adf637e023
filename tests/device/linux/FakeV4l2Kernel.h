#pragma once

#include <linux/videodev2.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "device/linux/V4l2Syscalls.h"

namespace vexhal::testing {

// Stands in for the kernel under both V4L2 users: video nodes with capabilities, formats, sizes
// and intervals; V4L2 control values (shared by all nodes); mmap
// streaming whose frames the test pushes; control descriptions with menus, flags and failures of
// their own, listed as uvcvideo lists them; control events, with exposure time inactive while
// automatic exposure is not manual; failures injected per request. Each
// opened node gets a real eventfd as descriptor, readable while a pushed frame waits, so the
// capture thread's poll() works unchanged. A descriptor subscribed to events becomes a socket
// holding an urgent byte while events wait (the exception condition a notifier sees). Set the
// public fields before the code under test runs.
class FakeV4l2Kernel final : public V4l2Syscalls {
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
    int openError = 0;
  };
  static Node nodeWith(std::uint32_t deviceCaps, int openError = 0) {
    Node node;
    node.deviceCaps = deviceCaps;
    node.openError = openError;
    return node;
  }
  struct State {  // what the code under test did
    std::optional<v4l2_pix_format> format;
    std::optional<v4l2_fract> interval;
    std::size_t openDescriptors = 0;
    int mappedBuffers = 0, streamOns = 0, streamOffs = 0;
    std::vector<std::string> opened, closed;  // node paths, in call order
    std::vector<unsigned long> calls;         // ioctl requests, in call order
    std::set<std::uint32_t> subscribed;       // controls with an event subscription
  };

  struct Control {  // how the driver describes a control; its value stays in `controls`
    std::uint32_t type = V4L2_CTRL_TYPE_INTEGER;
    std::string name;
    std::int32_t minimum = 0, maximum = 255, step = 1, defaultValue = 0;
    std::uint32_t flags = 0;
    std::map<std::uint32_t, std::string> menu;  // index: name (a number for an integer menu)
    int queryError = 0;                         // VIDIOC_QUERYCTRL of it fails with this
  };

  std::map<std::uint32_t, std::int32_t> controls;  // id: value
  std::map<std::uint32_t, Control> descriptions;   // id: description
  std::map<unsigned long, int> failures;           // request: errno it fails with

  ~FakeV4l2Kernel() override {
    for (const auto& [fd, path] : open_) ::close(fd);
    for (const auto& [fd, watcher] : watchers_) ::close(watcher.peer);
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
  // The event a control's new value raises.
  static v4l2_event controlEvent(std::uint32_t id, std::int32_t value) {
    v4l2_event event{};
    event.type = V4L2_EVENT_CTRL;
    event.id = id;
    event.u.ctrl.changes = V4L2_EVENT_CTRL_CH_VALUE;
    event.u.ctrl.value = value;
    return event;
  }
  // Queues `event` on every descriptor subscribed to events, whatever it subscribed to.
  void pushEvent(const v4l2_event& event) {
    const std::lock_guard lock(mutex_);
    for (auto& [fd, watcher] : watchers_) queueEvent(watcher, event);
  }
  // The device disappears: every request fails with ENODEV, poll reports POLLERR, and
  // descriptors watching events are woken.
  void unplug() {
    const std::lock_guard lock(mutex_);
    gone_ = true;
    wake(1);
    for (const auto& [fd, watcher] : watchers_) signal(watcher.peer);
  }
  State state() const {
    const std::lock_guard lock(mutex_);
    State copy = state_;
    copy.openDescriptors = open_.size();
    for (const auto& [fd, w] : watchers_) copy.subscribed.insert(w.ids.begin(), w.ids.end());
    return copy;
  }

  int open(const char* path, int /*flags*/) override {
    const std::lock_guard lock(mutex_);
    state_.opened.emplace_back(path);
    const auto it = nodes_.find(path);
    if (it == nodes_.end() || gone_) return -ENOENT;
    if (it->second.openError != 0) return -it->second.openError;
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
    if (fd >= 0) open_[fd] = path;
    return fd < 0 ? -errno : fd;
  }
  int close(int fd) override {
    const std::lock_guard lock(mutex_);
    const auto it = open_.find(fd);
    if (it == open_.end()) return -EBADF;
    state_.closed.push_back(it->second);
    open_.erase(it);
    if (const auto watcher = watchers_.find(fd); watcher != watchers_.end()) {
      ::close(watcher->second.peer);
      watchers_.erase(watcher);
    }
    if (fd == streamingFd_) streamingFd_ = -1;
    return ::close(fd) < 0 ? -errno : 0;
  }
  int ioctl(int fd, unsigned long request, void* arg) override {
    const std::lock_guard lock(mutex_);
    state_.calls.push_back(request);
    const auto found = open_.find(fd);
    if (found == open_.end()) return -EBADF;
    if (gone_) return -ENODEV;
    if (const auto it = failures.find(request); it != failures.end()) return -it->second;
    const Node& node = nodes_.at(found->second);
    switch (request) {
      case VIDIOC_QUERYCAP: {
        auto* caps = static_cast<v4l2_capability*>(arg);
        std::memset(caps, 0, sizeof *caps);
        std::strncpy(reinterpret_cast<char*>(caps->card), node.card.c_str(), sizeof caps->card - 1);
        // `capabilities` covers all the device's nodes.
        caps->device_caps = node.deviceCaps;
        caps->capabilities =
            node.deviceCaps | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE;
        return 0;
      }
      case VIDIOC_QUERYCTRL: {
        auto* query = static_cast<v4l2_queryctrl*>(arg);
        const std::uint32_t id = query->id & ~V4L2_CTRL_FLAG_NEXT_CTRL;
        const auto it = id != query->id ? descriptions.upper_bound(id) : descriptions.find(id);
        if (it == descriptions.end()) return -EINVAL;
        if (it->second.queryError != 0) return -it->second.queryError;
        const Control& c = it->second;
        *query = {};
        query->id = it->first;
        query->type = c.type;
        std::strncpy(reinterpret_cast<char*>(query->name), c.name.c_str(), sizeof query->name - 1);
        std::tie(query->minimum, query->maximum, query->step, query->default_value) =
            std::tuple(c.minimum, c.maximum, c.step, c.defaultValue);
        query->flags = c.flags | (isInactive(it->first) ? V4L2_CTRL_FLAG_INACTIVE : 0);
        return 0;
      }
      case VIDIOC_QUERYMENU: {
        auto* item = static_cast<v4l2_querymenu*>(arg);
        const auto it = descriptions.find(item->id);
        if (it == descriptions.end() || it->second.menu.count(item->index) == 0) return -EINVAL;
        const std::string& name = it->second.menu.at(item->index);
        if (it->second.type == V4L2_CTRL_TYPE_INTEGER_MENU)
          item->value = std::stoll(name);
        else
          std::strncpy(reinterpret_cast<char*>(item->name), name.c_str(), sizeof item->name - 1);
        return 0;
      }
      case VIDIOC_S_CTRL:
      case VIDIOC_G_CTRL: {
        auto* control = static_cast<v4l2_control*>(arg);
        const auto it = controls.find(control->id);
        if (it == controls.end()) return -EINVAL;
        if (request == VIDIOC_S_CTRL) {
          if (const auto d = descriptions.find(control->id);
              d != descriptions.end() && (d->second.flags & V4L2_CTRL_FLAG_READ_ONLY) != 0)
            return -EACCES;
          const bool wasInactive = isInactive(V4L2_CID_EXPOSURE_ABSOLUTE);
          // Every other handle subscribed to the control hears of a change.
          for (auto& [other, watcher] : watchers_)
            if (other != fd && it->second != control->value && watcher.ids.count(control->id) != 0)
              queueEvent(watcher, controlEvent(control->id, control->value));
          it->second = control->value;
          // A flag change reaches every subscribed handle, the one that caused it too.
          if (isInactive(V4L2_CID_EXPOSURE_ABSOLUTE) != wasInactive) {
            v4l2_event event =
                controlEvent(V4L2_CID_EXPOSURE_ABSOLUTE, controls[V4L2_CID_EXPOSURE_ABSOLUTE]);
            event.u.ctrl.changes = V4L2_EVENT_CTRL_CH_FLAGS;
            event.u.ctrl.flags = wasInactive ? 0 : V4L2_CTRL_FLAG_INACTIVE;
            for (auto& [other, watcher] : watchers_)
              if (watcher.ids.count(V4L2_CID_EXPOSURE_ABSOLUTE) != 0) queueEvent(watcher, event);
          }
        } else {
          control->value = it->second;
        }
        return 0;
      }
      case VIDIOC_SUBSCRIBE_EVENT:
      case VIDIOC_UNSUBSCRIBE_EVENT: {
        const auto* subscription = static_cast<v4l2_event_subscription*>(arg);
        if (subscription->type != V4L2_EVENT_CTRL || controls.count(subscription->id) == 0)
          return -EINVAL;
        if (request == VIDIOC_UNSUBSCRIBE_EVENT) {
          if (watchers_.count(fd) != 0) watchers_[fd].ids.erase(subscription->id);
          return 0;
        }
        if (watchers_.count(fd) == 0) {
          int pair[2];
          if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) < 0) return -errno;
          ::dup2(pair[0], fd);
          ::close(pair[0]);
          watchers_[fd].peer = pair[1];
        }
        watchers_[fd].ids.insert(subscription->id);
        return 0;
      }
      case VIDIOC_DQEVENT: {
        auto& queue = watchers_[fd].events;
        if (queue.empty()) return -ENOENT;
        *static_cast<v4l2_event*>(arg) = queue.front();
        queue.pop_front();
        static_cast<v4l2_event*>(arg)->pending = static_cast<std::uint32_t>(queue.size());
        char urgent = 0;
        if (queue.empty()) ::recv(fd, &urgent, 1, MSG_OOB);
        return 0;
      }
      case VIDIOC_ENUM_FMT: {
        auto* description = static_cast<v4l2_fmtdesc*>(arg);
        if (description->index >= node.formats.size()) return -EINVAL;
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
          return -EINVAL;
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
        return -EINVAL;
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
  int mmap(std::size_t length, int /*prot*/, int /*flags*/, int fd, off_t offset,
           void** address) override {
    const std::lock_guard lock(mutex_);
    const auto index = static_cast<std::size_t>(offset) / kBufferStride;
    if (fd != streamingFd_ || index >= buffers_.size() || length > buffers_[index].size())
      return -EINVAL;
    ++state_.mappedBuffers;
    *address = buffers_[index].data();
    return 0;
  }
  int munmap(void* /*address*/, std::size_t /*length*/) override {
    const std::lock_guard lock(mutex_);
    --state_.mappedBuffers;
    return 0;
  }
  int poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    const int ready = ::poll(fds, count, timeoutMs);
    if (ready < 0) return -errno;
    const std::lock_guard lock(mutex_);
    for (nfds_t i = 0; ready > 0 && gone_ && i < count; ++i) {
      if (fds[i].fd == streamingFd_) fds[i].revents |= POLLERR;
    }
    return ready;
  }

 private:
  static constexpr std::uint32_t kBufferStride = 1U << 24;

  // Exposure time is inactive while automatic exposure is not manual, as uvcvideo has it.
  bool isInactive(std::uint32_t id) const {
    const auto mode = controls.find(V4L2_CID_EXPOSURE_AUTO);
    return id == V4L2_CID_EXPOSURE_ABSOLUTE && mode != controls.end() &&
           mode->second != V4L2_EXPOSURE_MANUAL;
  }
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

  struct Watcher {  // a descriptor subscribed to events
    std::set<std::uint32_t> ids;
    std::deque<v4l2_event> events;
    int peer = -1;  // the other end of the descriptor's socket
  };
  void queueEvent(Watcher& watcher, const v4l2_event& event) {
    if (watcher.events.empty()) signal(watcher.peer);
    watcher.events.push_back(event);
  }
  static void signal(int peer) { ::send(peer, "!", 1, MSG_OOB); }

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
        if (buffer->index >= buffers_.size()) return -EINVAL;
        buffer->length = static_cast<std::uint32_t>(buffers_[buffer->index].size());
        buffer->m.offset = buffer->index * kBufferStride;
        return 0;
      case VIDIOC_QBUF:
        if (buffer->index >= buffers_.size()) return -EINVAL;
        queued_.push_back(buffer->index);
        return 0;
      case VIDIOC_DQBUF: {
        if (state_.streamOns == state_.streamOffs || frames_.empty() || queued_.empty())
          return -EAGAIN;
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
        return -ENOTTY;
    }
  }

  mutable std::mutex mutex_;
  std::map<std::string, Node> nodes_;
  std::map<int, std::string> open_;
  std::map<int, Watcher> watchers_;
  int streamingFd_ = -1;
  bool gone_ = false;
  std::vector<std::vector<std::uint8_t>> buffers_;
  std::deque<std::uint32_t> queued_;
  std::deque<std::vector<std::uint8_t>> frames_;
  std::uint32_t sequence_ = 0;
  State state_;
};

}  // namespace vexhal::testing
