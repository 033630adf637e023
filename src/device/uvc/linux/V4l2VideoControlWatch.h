#pragma once

#include <QSocketNotifier>

#include <cstdint>
#include <memory>
#include <vector>

#include "device/linux/V4l2Syscalls.h"
#include "device/uvc/UVCLog.h"
#include "device/uvc/VideoControlWatch.h"

namespace vexhal {

// Watches chosen controls on a camera's video node: subscribes to the V4L2 control events of
// each and, when the node signals an event (an exception condition, seen by a notifier on the
// main thread), dequeues them and reports value and flag changes. Owns the node's descriptor;
// unsubscribes and closes it when destroyed. A node that goes away ends the watch, with one
// log line.
class V4l2VideoControlWatch final : public VideoControlWatch {
 public:
  // Takes `fd`; null, with the reason logged and `fd` closed, when a subscription is refused.
  static std::unique_ptr<V4l2VideoControlWatch> start(int fd,
                                                      std::shared_ptr<V4l2Syscalls> syscalls,
                                                      std::vector<std::uint32_t> ids,
                                                      Listener listener, UVCLog log);
  ~V4l2VideoControlWatch() override;
  V4l2VideoControlWatch(const V4l2VideoControlWatch&) = delete;
  V4l2VideoControlWatch& operator=(const V4l2VideoControlWatch&) = delete;

  bool isWatching() const override { return watching_; }

  // At most this many events are taken per wake-up; the notifier fires again for the rest.
  static constexpr int kEventsPerWake = 32;

 private:
  V4l2VideoControlWatch(int fd, std::shared_ptr<V4l2Syscalls> syscalls, Listener listener,
                        UVCLog log);
  int subscribe(unsigned long request, std::uint32_t id);
  void readEvents();

  int fd_;
  std::shared_ptr<V4l2Syscalls> syscalls_;
  Listener listener_;
  UVCLog log_;
  std::vector<std::uint32_t> subscribed_;
  std::unique_ptr<QSocketNotifier> notifier_;
  bool watching_ = true;
};

}  // namespace vexhal
