#pragma once

#include <QSocketNotifier>

#include <cstdint>
#include <memory>

#include "device/linux/V4l2Syscalls.h"
#include "device/uvc/UVCControlWatch.h"
#include "device/uvc/UVCLog.h"

namespace vexhal {

// Watches the image controls on a camera's video node: subscribes to the V4L2 control events of
// each and, when the node signals an event (an exception condition, seen by a notifier on the
// main thread), dequeues and reports them. Owns the node's descriptor; unsubscribes and closes
// it when destroyed. A node that goes away ends the watch, with one log line.
class V4l2UvcControlWatch final : public UVCControlWatch {
 public:
  // Takes `fd`; null, with the reason logged and `fd` closed, when a subscription is refused.
  static std::unique_ptr<V4l2UvcControlWatch> start(int fd, std::shared_ptr<V4l2Syscalls> syscalls,
                                                    Listener listener, UVCLog log);
  ~V4l2UvcControlWatch() override;
  V4l2UvcControlWatch(const V4l2UvcControlWatch&) = delete;
  V4l2UvcControlWatch& operator=(const V4l2UvcControlWatch&) = delete;

  bool isWatching() const override { return watching_; }

  // At most this many events are taken per wake-up; the notifier fires again for the rest.
  static constexpr int kEventsPerWake = 32;

 private:
  V4l2UvcControlWatch(int fd, std::shared_ptr<V4l2Syscalls> syscalls, Listener listener,
                      UVCLog log);
  int subscribe(unsigned long request, std::uint32_t id);
  void readEvents();

  int fd_;
  std::shared_ptr<V4l2Syscalls> syscalls_;
  Listener listener_;
  UVCLog log_;
  int subscribed_ = 0;  // the first watched controls that are subscribed
  std::unique_ptr<QSocketNotifier> notifier_;
  bool watching_ = true;
};

}  // namespace vexhal
