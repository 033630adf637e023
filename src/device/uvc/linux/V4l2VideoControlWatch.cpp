#include "device/uvc/linux/V4l2VideoControlWatch.h"

#include <linux/videodev2.h>

#include <cerrno>

namespace vexhal {

std::unique_ptr<V4l2VideoControlWatch> V4l2VideoControlWatch::start(
    int fd, std::shared_ptr<V4l2Syscalls> syscalls, std::vector<std::uint32_t> ids,
    Listener listener, UVCLog log) {
  std::unique_ptr<V4l2VideoControlWatch> watch(
      new V4l2VideoControlWatch(fd, std::move(syscalls), std::move(listener), std::move(log)));
  for (const std::uint32_t id : ids) {
    if (const int result = watch->subscribe(VIDIOC_SUBSCRIBE_EVENT, id); result < 0) {
      watch->log_.error("CameraControl Error: Unable to watch control %u (%08x)", id,
                        static_cast<unsigned>(-result));
      return nullptr;
    }
    watch->subscribed_.push_back(id);
  }
  watch->notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Exception);
  QObject::connect(watch->notifier_.get(), &QSocketNotifier::activated,
                   [raw = watch.get()] { raw->readEvents(); });
  return watch;
}

V4l2VideoControlWatch::V4l2VideoControlWatch(int fd, std::shared_ptr<V4l2Syscalls> syscalls,
                                             Listener listener, UVCLog log)
    : fd_(fd),
      syscalls_(std::move(syscalls)),
      listener_(std::move(listener)),
      log_(std::move(log)) {}

V4l2VideoControlWatch::~V4l2VideoControlWatch() {
  notifier_.reset();
  // A node that has gone refuses these; closing it is all that is left to do.
  for (const std::uint32_t id : subscribed_) {
    subscribe(VIDIOC_UNSUBSCRIBE_EVENT, id);
  }
  syscalls_->close(fd_);
}

int V4l2VideoControlWatch::subscribe(unsigned long request, std::uint32_t id) {
  v4l2_event_subscription subscription{};
  subscription.type = V4L2_EVENT_CTRL;
  subscription.id = id;
  return syscalls_->ioctl(fd_, request, &subscription);
}

void V4l2VideoControlWatch::readEvents() {
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
    if (event.type != V4L2_EVENT_CTRL) {
      continue;
    }
    const v4l2_event_ctrl& ctrl = event.u.ctrl;
    VideoControlEvent change;
    change.id = event.id;
    change.value = ctrl.type == V4L2_CTRL_TYPE_INTEGER64 ? ctrl.value64 : ctrl.value;
    change.inactive = (ctrl.flags & V4L2_CTRL_FLAG_INACTIVE) != 0;
    change.readOnly = (ctrl.flags & V4L2_CTRL_FLAG_READ_ONLY) != 0;
    change.valueChanged = (ctrl.changes & V4L2_EVENT_CTRL_CH_VALUE) != 0;
    change.flagsChanged = (ctrl.changes & V4L2_EVENT_CTRL_CH_FLAGS) != 0;
    if (change.valueChanged || change.flagsChanged) {
      listener_(change);
    }
  }
}

}  // namespace vexhal
