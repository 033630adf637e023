#include "FirmwareReceiver.h"

#include "CameraResultCode.h"
#include "device/hid/HidPacket.h"

namespace vexhal::sim {

std::uint32_t FirmwareReceiver::start() {
  started_ = true;
  complete_ = false;
  packets_ = 0;
  image_.clear();
  return 0;
}

std::uint32_t FirmwareReceiver::accept(std::uint32_t packNum, std::uint8_t dataStatus,
                                       std::span<const std::uint8_t> bytes) {
  if (!started_ || complete_ || packNum != static_cast<std::uint64_t>(packets_) + 1) {
    return kResultOutOfOrder;
  }
  const bool last = dataStatus == kHidLastPacket;
  if ((dataStatus != kHidDataPresent && !last) || bytes.empty() ||
      bytes.size() > kHidDataCapacity || (!last && bytes.size() != kHidDataCapacity)) {
    return kResultInvalidValue;
  }
  if (image_.size() + static_cast<qsizetype>(bytes.size()) > kMaxImageSize) {
    return kResultImageTooLarge;
  }
  image_.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  ++packets_;
  complete_ = last;
  return 0;
}

FirmwareReceiver::Outcome FirmwareReceiver::finish() {
  if (!started_) {
    return {kResultOutOfOrder, {}};
  }
  Outcome outcome;
  outcome.check = checkFirmwareImage(image_);
  outcome.code = complete_ && outcome.check.ok() ? 0 : kResultImageRejected;
  abandon();
  return outcome;
}

void FirmwareReceiver::abandon() {
  started_ = false;
  complete_ = false;
  packets_ = 0;
  image_.clear();
  image_.squeeze();
}

}  // namespace vexhal::sim
