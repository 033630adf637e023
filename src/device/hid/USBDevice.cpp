#include "device/hid/USBDevice.h"

#include <QMetaObject>
#include <QUtf8StringView>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/hid/HidLog.h"

namespace vexhal {

namespace {

enum Command : std::uint16_t {
  kGetState = 0x5000,
  kGetVersion = 0x5001,
  kGetSerialNumber = 0x5010,
  kGetCaptureInfo = 0x5020,
  kGetAutoFramingMode = 0x5030,
  kSetAutoFramingMode = 0x5031,
  kGetFrameMaster = 0x5040,
  kSetFrameMaster = 0x5041,
  kGetPickup = 0x5070,
  kSetPickup = 0x5071,
  kGetAutoFraming = 0x5080,
  kSetAutoFraming = 0x5081,
  kGetHMirror = 0x5090,
  kSetHMirror = 0x5091,
  kGetAngle = 0x50A0,
  kSetAngle = 0x50A1,
  kSaveUVC = 0x5100,
  kUpgradeStart = 0x4000,
  kUpgradeData = 0x4200,
  kUpgradeFinish = 0x4300,
};

constexpr std::uint16_t kCameraProductId = 0xB215;
constexpr std::size_t kSerialNumberBytes = 13;

std::int32_t readLe32(const std::uint8_t* bytes) {
  const std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) |
                              static_cast<std::uint32_t>(bytes[1]) << 8 |
                              static_cast<std::uint32_t>(bytes[2]) << 16 |
                              static_cast<std::uint32_t>(bytes[3]) << 24;
  return static_cast<std::int32_t>(value);
}

}  // namespace

USBDevice::USBDevice(HidDeviceRecord device, UniqueFd fd, int openError)
    : device_(std::move(device)),
      openError_(fd.isValid() ? 0 : (openError != 0 ? openError : EIO)),
      channel_(
          std::move(fd),
          [this](std::span<const std::uint8_t, kHidPacketSize> buffer, std::size_t length) {
            processInput(buffer.data(), length);
          },
          [this] { channelGone(); }) {
  if (device_.productId == kCameraProductId) {
    name_ = "PICO EDGE";
    modelName_ = "VX-K31D";
  } else {
    name_ = std::to_string(device_.productId);
  }
  transferTimer_.setSingleShot(true);
  transferTimer_.setInterval(kDefaultTransferReplyTimeout);
  QObject::connect(&transferTimer_, &QTimer::timeout, &context_, [this] {
    if (step_ != TransferStep::Idle) {
      hidLog(LOG_ERR, "HIDDevice, firmware transfer: no reply for %lld ms, packet %ld of %ld",
             static_cast<long long>(transferTimer_.interval()), static_cast<long>(packNum_),
             static_cast<long>(allPackNum_));
      endTransfer(kUpgradeNoReply);
    }
  });
}

USBDevice::~USBDevice() = default;

template <typename Slot, typename... Args>
void USBDevice::post(Slot USBDevice::*slot, Args... args) {
  // The task reads the slot when it runs; it keeps a shared device alive until then, and is
  // dropped with `context_` if the device was not shared.
  QMetaObject::invokeMethod(
      &context_,
      [this, keep = weak_from_this().lock(), slot, args...] {
        // A copy, because the completion may store a new one in the same slot.
        const Slot callback = this->*slot;
        if (callback) {
          callback(args...);
        }
      },
      Qt::QueuedConnection);
}

bool USBDevice::sendOutputReport(const hid_cmd_pack_t& pack) {
  if (!channel_.isOpen()) {
    hidLog(LOG_ERR, "没有找到设备 - ");
    return false;
  }
  const unsigned cmd = pack.head.cmd.get();
  if (!channel_.write(pack.bytes())) {
    hidLog(LOG_ERR, "HIDDevice, 发送数据失败! cmd: %x", cmd);
    return false;
  }
  hidLog(LOG_DEBUG, "HIDDevice, 发送数据成功! cmd: %x", cmd);
  return true;
}

bool USBDevice::failUnopened(std::uint16_t cmd) {
  if (openError_ == 0) {
    return false;
  }
  hidLog(LOG_DEBUG, "HIDDevice, %s is not open; cmd %x not sent", device_.key.c_str(),
         static_cast<unsigned>(cmd));
  dispatchReply(cmd, kNotOpen);
  return true;
}

void USBDevice::sendHeaderOnly(std::uint16_t cmd) {
  if (failUnopened(cmd)) {
    return;
  }
  tx_.head = newHeader(cmd);
  tx_.data.fill(0);
  sendOutputReport(tx_);
}

void USBDevice::sendSetting(std::uint16_t cmd, std::int64_t value, std::uint32_t packNum) {
  if (failUnopened(cmd)) {
    return;
  }
  tx_.head = newHeader(cmd, kHidDataPresent, 1, packNum);
  tx_.data.fill(0);
  tx_.data[0] = static_cast<std::uint8_t>(value);
  sealPacket(tx_);
  if (cmd == kSetAutoFraming) {
    hidLog(LOG_DEBUG, "crc: %d", static_cast<int>(tx_.head.crc.get()));
  }
  sendOutputReport(tx_);
}

void USBDevice::getState(ValueCallback callback) {
  stateCallback_ = std::move(callback);
  sendHeaderOnly(kGetState);
}

void USBDevice::getVersion(TextCallback callback) {
  versionCallback_ = std::move(callback);
  sendHeaderOnly(kGetVersion);
}

void USBDevice::getSerialNumber(TextCallback callback) {
  serialNumberCallback_ = std::move(callback);
  sendHeaderOnly(kGetSerialNumber);
}

void USBDevice::getCaptureInfo(FlagCallback callback) {
  getCaptureInfoCallback_ = std::move(callback);
  sendHeaderOnly(kGetCaptureInfo);
}

void USBDevice::getAutoFramingMode(ValueCallback callback) {
  getAutoFramingModeCallback_ = std::move(callback);
  sendHeaderOnly(kGetAutoFramingMode);
}

void USBDevice::setAutoFramingMode(std::int64_t mode, CodeCallback callback) {
  setAutoFramingModeCallback_ = std::move(callback);
  sendSetting(kSetAutoFramingMode, mode, static_cast<std::uint32_t>(packNum_));
}

void USBDevice::getFrameMaster(FlagCallback callback) {
  getFrameMasterModeCallback_ = std::move(callback);
  sendHeaderOnly(kGetFrameMaster);
}

void USBDevice::setFrameMaster(bool on, CodeCallback callback) {
  setFrameMasterModeCallback_ = std::move(callback);
  sendSetting(kSetFrameMaster, on ? 1 : 0, static_cast<std::uint32_t>(packNum_));
}

void USBDevice::getPickup(ValueCallback callback) {
  getPickupCallback_ = std::move(callback);
  sendHeaderOnly(kGetPickup);
}

void USBDevice::setPickup(std::int64_t pickup, CodeCallback callback) {
  setPickupCallback_ = std::move(callback);
  sendSetting(kSetPickup, pickup, static_cast<std::uint32_t>(packNum_));
}

void USBDevice::getAutoFraming(FlagCallback callback) {
  getAutoFramingCallback_ = std::move(callback);
  sendHeaderOnly(kGetAutoFraming);
}

void USBDevice::setAutoFraming(bool on, CodeCallback callback) {
  setAutoFramingCallback_ = std::move(callback);
  sendSetting(kSetAutoFraming, on ? 1 : 0, 0);
}

void USBDevice::getHMirror(FlagCallback callback) {
  getHMirrorCallback_ = std::move(callback);
  sendHeaderOnly(kGetHMirror);
}

void USBDevice::setHMirror(bool on, CodeCallback callback) {
  setHMirrorCallback_ = std::move(callback);
  sendSetting(kSetHMirror, on ? 1 : 0, static_cast<std::uint32_t>(packNum_));
}

void USBDevice::getAngle(ValueCallback callback) {
  getAngleCallback_ = std::move(callback);
  sendHeaderOnly(kGetAngle);
}

void USBDevice::setAngle(std::int64_t degrees, CodeCallback callback) {
  setAngleCallback_ = std::move(callback);
  sendSetting(kSetAngle, degrees, static_cast<std::uint32_t>(packNum_));
}

void USBDevice::saveUVC(CodeCallback callback) {
  saveCallback_ = std::move(callback);
  sendHeaderOnly(kSaveUVC);
}

void USBDevice::processInput(const std::uint8_t* report, std::size_t length) {
  // Bytes past a short report keep what the previous reports left in the receive buffer.
  if (report != nullptr && length > 0) {
    std::memcpy(rx_.bytes().data(), report, std::min(length, kHidPacketSize));
  }
  const std::uint16_t cmd = rx_.head.cmd.get();
  const std::int64_t code = rx_.head.packNum.get();
  hidLog(LOG_DEBUG, "HIDDevice, cmd: %x, code: %ld", static_cast<unsigned>(cmd),
         static_cast<long>(code));
  dispatchReply(cmd, code);
}

void USBDevice::dispatchReply(std::uint16_t cmd, std::int64_t code) {
  const auto& d = rx_.data;
  const auto signedByte = [&d, code]() -> std::int64_t {
    return code != 0 ? 0 : static_cast<std::int8_t>(d[0]);
  };
  const bool flag = code == 0 && d[0] != 0;
  switch (cmd) {
    case kGetState:
      state_ = code != 0 ? 0 : d[0] == 0 ? 1 : d[0] == 1 ? 2 : 0;
      post(&USBDevice::stateCallback_, code, state_);
      break;
    case kGetVersion:
      version_.reset();
      if (code == 0) {
        char text[16];
        std::snprintf(text, sizeof text, "%ld.%ld.%ld", static_cast<long>(std::int8_t(d[0])),
                      static_cast<long>(std::int8_t(d[1])), static_cast<long>(std::int8_t(d[2])));
        version_ = text;
      }
      post(&USBDevice::versionCallback_, code, version_);
      break;
    case kGetSerialNumber: {
      serialNumber_.reset();
      const auto* bytes = reinterpret_cast<const char*>(d.data());
      if (code == 0 && QUtf8StringView(bytes, kSerialNumberBytes).isValidUtf8()) {
        serialNumber_ = std::string(bytes, kSerialNumberBytes);
      }
      post(&USBDevice::serialNumberCallback_, code, serialNumber_);
      break;
    }
    case kGetCaptureInfo: {
      // Read whatever the code: the camera fills these in even when it reports a failure.
      const std::int32_t width = readLe32(&d[0]);
      const std::int32_t height = readLe32(&d[4]);
      const std::int32_t status = readLe32(&d[32]);
      hidLog(LOG_DEBUG, "%d, %d, %d", width, height, status);
      post(&USBDevice::getCaptureInfoCallback_, code,
           status == 1 && height == 2160 && width == 3840);
      break;
    }
    case kGetAutoFramingMode:
      post(&USBDevice::getAutoFramingModeCallback_, code, signedByte());
      break;
    case kGetPickup:
      post(&USBDevice::getPickupCallback_, code, signedByte());
      break;
    case kGetAngle:
      post(&USBDevice::getAngleCallback_, code, signedByte());
      break;
    case kGetFrameMaster:
      post(&USBDevice::getFrameMasterModeCallback_, code, flag);
      break;
    case kGetAutoFraming:
      post(&USBDevice::getAutoFramingCallback_, code, flag);
      break;
    case kGetHMirror:
      post(&USBDevice::getHMirrorCallback_, code, flag);
      break;
    case kSetAutoFramingMode:
      post(&USBDevice::setAutoFramingModeCallback_, code);
      break;
    case kSetFrameMaster:
      post(&USBDevice::setFrameMasterModeCallback_, code);
      break;
    case kSetPickup:
      post(&USBDevice::setPickupCallback_, code);
      break;
    case kSetAutoFraming:
      post(&USBDevice::setAutoFramingCallback_, code);
      break;
    case kSetHMirror:
      post(&USBDevice::setHMirrorCallback_, code);
      break;
    case kSetAngle:
      post(&USBDevice::setAngleCallback_, code);
      break;
    case kSaveUVC:
      post(&USBDevice::saveCallback_, code);
      break;
    case kUpgradeStart:
    case kUpgradeData:
    case kUpgradeFinish:
      handleTransferReply(cmd, code);
      break;
    default:
      break;
  }
}

void USBDevice::startUpgrade(QByteArray image, CodeCallback callback) {
  upgradeCallback_ = std::move(callback);
  if (image.isEmpty()) {
    hidLog(LOG_ERR, "HIDDevice, firmware image is empty; nothing sent");
    endTransfer(kUpgradeEmptyImage);
    return;
  }
  data_ = std::move(image);
  allPackNum_ = (static_cast<std::int64_t>(data_.size()) + std::int64_t{kHidDataCapacity} - 1) /
                std::int64_t{kHidDataCapacity};
  packNum_ = 0;
  hidLog(LOG_INFO, "总包数：%ld", static_cast<long>(allPackNum_));
  step_ = TransferStep::Starting;
  sendTransferStep(kUpgradeStart);
}

void USBDevice::setTransferReplyTimeout(std::chrono::milliseconds timeout) {
  transferTimer_.setInterval(timeout);
}

void USBDevice::sendTransferStep(std::uint16_t cmd) {
  transferTimer_.start();
  sendHeaderOnly(cmd);
}

void USBDevice::sendNextPacket() {
  const auto offset = static_cast<std::size_t>(packNum_) * kHidDataCapacity;
  ++packNum_;
  const std::size_t length =
      std::min(static_cast<std::size_t>(data_.size()) - offset, kHidDataCapacity);
  const std::uint8_t status = packNum_ == allPackNum_ ? kHidLastPacket : kHidDataPresent;
  tx_.head = newHeader(kUpgradeData, status, static_cast<std::uint16_t>(length),
                       static_cast<std::uint32_t>(packNum_));
  std::memcpy(tx_.data.data(), data_.constData() + offset, length);
  std::fill(tx_.data.begin() + static_cast<std::ptrdiff_t>(length), tx_.data.end(), 0);
  sealPacket(tx_);
  transferTimer_.start();
  sendOutputReport(tx_);
}

void USBDevice::handleTransferReply(std::uint16_t cmd, std::int64_t code) {
  // Only the reply to the step in flight moves the transfer on; a repeated or stray reply
  // would otherwise send a step twice or report a second outcome.
  const TransferStep expected = cmd == kUpgradeStart  ? TransferStep::Starting
                                : cmd == kUpgradeData ? TransferStep::Sending
                                                      : TransferStep::Finishing;
  if (step_ != expected) {
    hidLog(LOG_DEBUG, "HIDDevice, firmware transfer: reply %x ignored", static_cast<unsigned>(cmd));
    return;
  }
  if (code != 0 || cmd == kUpgradeFinish) {
    endTransfer(code);
    return;
  }
  if (cmd == kUpgradeStart) {
    step_ = TransferStep::Sending;
    sendNextPacket();
    return;
  }
  if (packNum_ == allPackNum_) {
    step_ = TransferStep::Finishing;
    sendTransferStep(kUpgradeFinish);
  } else {
    sendNextPacket();
  }
  hidLog(LOG_DEBUG, "_packNum: %ld, _allPackNum: %ld", static_cast<long>(packNum_),
         static_cast<long>(allPackNum_));
}

void USBDevice::endTransfer(std::int64_t code) {
  transferTimer_.stop();
  step_ = TransferStep::Idle;
  post(&USBDevice::upgradeCallback_, code);
}

void USBDevice::channelGone() {
  // An unplugged camera ends its transfer without an outcome: the caller watches the camera
  // leave and come back instead.
  transferTimer_.stop();
  step_ = TransferStep::Idle;
  if (goneHandler_) {
    goneHandler_();
  }
}

}  // namespace vexhal
