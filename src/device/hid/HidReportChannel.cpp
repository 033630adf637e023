#include "device/hid/HidReportChannel.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>

namespace vexhal {

HidReportChannel::HidReportChannel(UniqueFd fd, ReportHandler report, GoneHandler gone)
    : fd_(std::move(fd)),
      report_(std::move(report)),
      goneHandler_(std::move(gone)),
      notifier_(QSocketNotifier::Read) {
  struct stat info {};
  isSocket_ = fd_.isValid() && ::fstat(fd_.get(), &info) == 0 && S_ISSOCK(info.st_mode);
  gone_ = !fd_.isValid();
  if (!gone_) {
    notifier_.setSocket(fd_.get());
    notifier_.setEnabled(true);
  }
  QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readReady(); });
}

HidReportChannel::~HidReportChannel() { notifier_.setEnabled(false); }

bool HidReportChannel::write(std::span<const std::uint8_t, kHidPacketSize> report) {
  if (gone_) {
    return false;
  }
  ssize_t written = -1;
  do {
    // A socket whose peer has gone would raise SIGPIPE on write(); send() can refuse that.
    written = isSocket_ ? ::send(fd_.get(), report.data(), report.size(), MSG_NOSIGNAL)
                        : ::write(fd_.get(), report.data(), report.size());
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(report.size());
}

void HidReportChannel::readReady() {
  // One report per notification: the notifier fires again while more are queued.
  ssize_t got = -1;
  do {
    got = ::read(fd_.get(), buffer_.data(), buffer_.size());
  } while (got < 0 && errno == EINTR);
  if (got > 0) {
    report_(buffer_, static_cast<std::size_t>(got));
    return;
  }
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    return;
  }
  // End of file, or an error such as EIO/ENODEV from a hidraw node whose device was unplugged
  // (its poll reports a hang-up, which wakes the notifier for exactly this read).
  markGone();
}

void HidReportChannel::markGone() {
  gone_ = true;
  notifier_.setEnabled(false);
  if (goneHandler_) {
    goneHandler_();
  }
}

}  // namespace vexhal
