#include "device/hid/FirmwareTransfer.h"

#include <algorithm>
#include <cstring>

#include "device/hid/CameraCommand.h"
#include "device/hid/HidLog.h"

namespace vexhal {

FirmwareTransfer::FirmwareTransfer(Send send, Outcome outcome)
    : send_(std::move(send)), outcome_(std::move(outcome)) {
  timer_.setSingleShot(true);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (step_ != Step::Idle) {
      hidLog(LOG_ERR, "HIDDevice, firmware transfer: no reply for %lld ms, %s, packet %ld of %ld",
             static_cast<long long>(timer_.interval()),
             step_ == Step::Starting    ? "start"
             : step_ == Step::Finishing ? "finish"
                                        : "data",
             static_cast<long>(packNum_), static_cast<long>(allPackNum_));
      end(kNoReply);
    }
  });
}

void FirmwareTransfer::start(QByteArray image, Progress progress) {
  progress_ = std::move(progress);
  percent_ = -1;
  if (image.isEmpty()) {
    hidLog(LOG_ERR, "HIDDevice, firmware image is empty; nothing sent");
    end(kEmptyImage);
    return;
  }
  data_ = std::move(image);
  allPackNum_ = (static_cast<std::int64_t>(data_.size()) + std::int64_t{kHidDataCapacity} - 1) /
                std::int64_t{kHidDataCapacity};
  packNum_ = 0;
  hidLog(LOG_INFO, "总包数：%ld", static_cast<long>(allPackNum_));
  step_ = Step::Starting;
  sendStep(kCmdUpgradeStart);
}

void FirmwareTransfer::setReplyTimeout(std::chrono::milliseconds timeout) {
  replyTimeout_ = timeout;
  if (step_ == Step::Sending) {
    timer_.setInterval(timeout);  // restarts a running wait
  }
}

void FirmwareTransfer::setStepReplyTimeout(std::chrono::milliseconds timeout) {
  stepReplyTimeout_ = timeout;
  if (step_ == Step::Starting || step_ == Step::Finishing) {
    timer_.setInterval(timeout);
  }
}

void FirmwareTransfer::sendStep(std::uint16_t cmd) {
  timer_.start(stepReplyTimeout_);
  tx_.head = newHeader(cmd);
  tx_.data.fill(0);
  send_(tx_);
}

void FirmwareTransfer::sendNextPacket() {
  const auto offset = static_cast<std::size_t>(packNum_) * kHidDataCapacity;
  ++packNum_;
  const std::size_t length =
      std::min(static_cast<std::size_t>(data_.size()) - offset, kHidDataCapacity);
  const std::uint8_t status = packNum_ == allPackNum_ ? kHidLastPacket : kHidDataPresent;
  tx_.head = newHeader(kCmdUpgradeData, status, static_cast<std::uint16_t>(length),
                       static_cast<std::uint32_t>(packNum_));
  std::memcpy(tx_.data.data(), data_.constData() + offset, length);
  std::fill(tx_.data.begin() + static_cast<std::ptrdiff_t>(length), tx_.data.end(), 0);
  sealPacket(tx_);
  timer_.start(replyTimeout_);
  send_(tx_);
}

void FirmwareTransfer::handleReply(std::uint16_t cmd, std::int64_t code) {
  // Only the reply to the step in flight moves the transfer on; a repeated or stray reply
  // would otherwise send a step twice or report a second outcome.
  const Step expected = cmd == kCmdUpgradeStart  ? Step::Starting
                        : cmd == kCmdUpgradeData ? Step::Sending
                                                 : Step::Finishing;
  if (step_ != expected) {
    hidLog(LOG_DEBUG, "HIDDevice, firmware transfer: reply %x ignored", static_cast<unsigned>(cmd));
    return;
  }
  if (code != 0 || cmd == kCmdUpgradeFinish) {
    end(code);
    return;
  }
  if (cmd == kCmdUpgradeStart) {
    step_ = Step::Sending;
    sendNextPacket();
    return;
  }
  const int percent = static_cast<int>(packNum_ * 100 / allPackNum_);
  if (progress_ && percent != percent_) {
    percent_ = percent;
    progress_(percent);
  }
  if (packNum_ == allPackNum_) {
    step_ = Step::Finishing;
    sendStep(kCmdUpgradeFinish);
  } else {
    sendNextPacket();
  }
  hidLog(LOG_DEBUG, "_packNum: %ld, _allPackNum: %ld", static_cast<long>(packNum_),
         static_cast<long>(allPackNum_));
}

void FirmwareTransfer::end(std::int64_t code) {
  timer_.stop();
  step_ = Step::Idle;
  if (outcome_) {
    outcome_(code);
  }
}

void FirmwareTransfer::abandon() {
  timer_.stop();
  step_ = Step::Idle;
}

}  // namespace vexhal
