#pragma once

#include <QByteArray>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>

#include "device/hid/HidPacket.h"

namespace vexhal {

// One firmware image sent to the camera in lock-step: the start step, one data packet per
// reply, then the finish step. Each request waits for its reply within a bound; the outcome is
// reported exactly once per transfer (0, the camera's failure code, or one of the codes below),
// except for a transfer abandoned because the camera went away. Main thread only.
class FirmwareTransfer {
 public:
  static constexpr std::int64_t kEmptyImage = -1;  // nothing to send; nothing was sent
  static constexpr std::int64_t kNoReply = -2;     // the camera stopped answering
  static constexpr std::chrono::milliseconds kDefaultReplyTimeout{5000};
  // The start and finish steps: the camera answers them after erasing or checking its flash.
  static constexpr std::chrono::milliseconds kDefaultStepReplyTimeout{60000};

  // `send` writes one request to the camera (a reply may come back into handleReply() before
  // it returns); `outcome` gets the transfer's result.
  using Send = std::function<void(const hid_cmd_pack_t& pack)>;
  using Outcome = std::function<void(std::int64_t code)>;
  // Whole percent of the image the camera has taken, each value once, rising.
  using Progress = std::function<void(int percent)>;
  FirmwareTransfer(Send send, Outcome outcome);
  FirmwareTransfer(const FirmwareTransfer&) = delete;
  FirmwareTransfer& operator=(const FirmwareTransfer&) = delete;

  // Starting again abandons a transfer in progress without an outcome.
  void start(QByteArray image, Progress progress = {});
  // Moves the transfer on by the camera's reply to a start (0x4000), data (0x4200) or finish
  // (0x4300) request; a reply to no request in flight is ignored.
  void handleReply(std::uint16_t cmd, std::int64_t code);
  // Ends the transfer without an outcome: the camera has gone.
  void abandon();

  // Data packets sent by the last transfer; the camera expects this count in most settings.
  std::int64_t packetsSent() const { return packNum_; }
  // How long a data packet, and the start or finish step, waits for its reply before the
  // transfer ends with kNoReply; a running wait restarts with the new bound.
  void setReplyTimeout(std::chrono::milliseconds timeout);
  void setStepReplyTimeout(std::chrono::milliseconds timeout);

 private:
  enum class Step { Idle, Starting, Sending, Finishing };

  void sendStep(std::uint16_t cmd);
  void sendNextPacket();
  void end(std::int64_t code);

  Send send_;
  Outcome outcome_;
  Progress progress_;
  int percent_ = -1;
  QByteArray data_;
  std::int64_t allPackNum_ = 0;
  std::int64_t packNum_ = 0;
  Step step_ = Step::Idle;
  std::chrono::milliseconds replyTimeout_ = kDefaultReplyTimeout;
  std::chrono::milliseconds stepReplyTimeout_ = kDefaultStepReplyTimeout;
  hid_cmd_pack_t tx_{};
  QTimer timer_;
};

}  // namespace vexhal
