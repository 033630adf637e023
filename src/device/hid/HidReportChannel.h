#pragma once

#include <QSocketNotifier>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "device/hid/HidPacket.h"
#include "base/UniqueFd.h"

namespace vexhal {

// Whole reports in and out of one camera's HID descriptor: /dev/hidrawN, or any descriptor with
// message boundaries (a SOCK_SEQPACKET socket stands in for it). Reads are driven by a socket
// notifier on the thread that created the channel (the main thread). A read error, end of file
// or hang-up means the device is gone: reading stops and `gone` is called once.
class HidReportChannel {
 public:
  // `report` receives the channel's receive buffer and the number of bytes the last read
  // delivered; bytes beyond them keep what earlier reports left there.
  using ReportHandler =
      std::function<void(std::span<const std::uint8_t, kHidPacketSize> buffer, std::size_t length)>;
  using GoneHandler = std::function<void()>;

  HidReportChannel(UniqueFd fd, ReportHandler report, GoneHandler gone);
  HidReportChannel(const HidReportChannel&) = delete;
  HidReportChannel& operator=(const HidReportChannel&) = delete;
  ~HidReportChannel();

  // Writes one whole report. Returns false when it could not be written (or the device is gone).
  bool write(std::span<const std::uint8_t, kHidPacketSize> report);
  bool isOpen() const { return !gone_; }

 private:
  void readReady();
  void markGone();

  UniqueFd fd_;
  bool isSocket_ = false;
  bool gone_ = false;
  ReportHandler report_;
  GoneHandler goneHandler_;
  std::array<std::uint8_t, kHidPacketSize> buffer_{};
  QSocketNotifier notifier_;
};

}  // namespace vexhal
