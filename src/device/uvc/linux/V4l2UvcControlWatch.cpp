#include "device/uvc/linux/V4l2UvcControlWatch.h"

#include <linux/videodev2.h>

#include <cerrno>

namespace vexhal {
namespace {

// The V4L2 controls of the watched image controls, in the same order.
constexpr std::array<std::uint32_t, kUvcWatchedControls.size()> kV4l2Ids{
    V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION, V4L2_CID_SHARPNESS};

}  // namespace

std::unique_ptr<V4l2UvcControlWatch> V4l2UvcControlWatch::start(
    int fd, std::shared_ptr<V4l2Syscalls> syscalls, Listener listener, UVCLog log) {
  std::unique_ptr<V4l2UvcControlWatch> watch(
      new V4l2UvcControlWatch(fd, std::move(syscalls), std::move(listener), std::move(log)));
  for (const std::uint32_t id : kV4l2Ids) {
    if (const int result = watch->subscribe(VIDIOC_SUBSCRIBE_EVENT, id); result < 0) {
      watch->log_.error("CameraControl Error: Unable to watch control %u (%08x)", id,
                        static_cast<unsigned>(-result));
      return nullptr;
    }
    ++watch->subscribed_;
  }
  watch->notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Exception);
  QObject::connect(watch->notifier_.get(), &QSocketNotifier::activated,
                   [raw = watch.get()] { raw->readEvents(); });
  return watch;
}

V4l2UvcControlWatch::V4l2UvcControlWatch(int fd, std::shared_ptr<V4l2Syscalls> syscalls,
                                         Listener listener, UVCLog log)
    : fd_(fd),
      syscalls_(std::move(syscalls)),
      listener_(std::move(listener)),
      log_(std::move(log)) {}

V4l2UvcControlWatch::~V4l2UvcControlWatch() {
  notifier_.reset();
  // A node that has gone refuses these; closing it is all that is left to do.
  for (int i = 0; i < subscribed_; ++i) {
    subscribe(VIDIOC_UNSUBSCRIBE_EVENT, kV4l2Ids[static_cast<std::size_t>(i)]);
  }
  syscalls_->close(fd_);
}

int V4l2UvcControlWatch::subscribe(unsigned long request, std::uint32_t id) {
  v4l2_event_subscription subscription{};
  subscription.type = V4L2_EVENT_CTRL;
  subscription.id = id;
  return syscalls_->ioctl(fd_, request, &subscription);
}

void V4l2UvcControlWatch::readEvents() {
  for (int taken = 0; taken < kEventsPerWake; ++taken) {
    v4l2_event event{};
    const int result = syscalls_->ioctl(fd_, VIDIOC_DQEVENT, &event);
    if (result == -ENOENT) {
      return;  // nothing (more) pending
    }
    if (result < 0) {
      // The camera has gone (or the node broke): stop, or the notifier would fire for ever.
      log_.error("CameraControl Error: Control watch ended (%08x)", static_cast<unsigned>(-result));
      notifier_->setEnabled(false);
      watching_ = false;
      return;
    }
    if (event.type != V4L2_EVENT_CTRL || (event.u.ctrl.changes & V4L2_EVENT_CTRL_CH_VALUE) == 0) {
      continue;
    }
    for (std::size_t i = 0; i < kV4l2Ids.size(); ++i) {
      if (kV4l2Ids[i] == event.id) {
        listener_(kUvcWatchedControls[i], event.u.ctrl.value);
      }
    }
  }
}

}  // namespace vexhal
