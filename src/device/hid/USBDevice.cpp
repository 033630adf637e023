#include "device/hid/USBDevice.h"

#include <QMetaObject>
#include <QUtf8StringView>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

#include "device/hid/CameraCommand.h"
#include "device/hid/HidLog.h"

namespace vexhal {

namespace {

constexpr std::uint16_t kCameraProductId = 0xB215;
constexpr std::size_t kSerialNumberBytes = 13;

std::int32_t readLe32(const std::uint8_t* bytes) {
  const std::uint32_t value =
      static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
      static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return static_cast<std::int32_t>(value);
}

}  // namespace

USBDevice::USBDevice(HidDeviceRecord device, UniqueFd fd, int openError)
    : device_(std::move(device)),
      openError_(fd.isValid() ? 0 : (openError != 0 ? openError : EIO)),
      transfer_(
          [this](const hid_cmd_pack_t& pack) {
            if (!failUnopened(pack.head.cmd.get())) {
              sendOutputReport(pack);
            }
          },
          [this](std::int64_t code) { post(upgradeCallback_, code); }),
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
}

USBDevice::~USBDevice() = default;

std::optional<std::uint32_t> USBDevice::controlLocation() const {
  if (device_.locationId < 0 || device_.locationId > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(device_.locationId);
}

template <typename Callback>
void USBDevice::await(Slot<Callback>& slot, std::uint16_t cmd, Callback callback) {
  const std::uint64_t id = ++lastRequestId_;
  auto timeout = std::make_unique<QTimer>();
  timeout->setSingleShot(true);
  QObject::connect(timeout.get(), &QTimer::timeout, &context_, [this, &slot, id, cmd] {
    const auto it = std::find_if(slot.waiting.begin(), slot.waiting.end(),
                                 [id](const auto& waiting) { return waiting.id == id; });
    if (it == slot.waiting.end()) {
      return;  // answered meanwhile
    }
    Callback expired = std::move(it->callback);
    it->timeout.release()->deleteLater();  // it is emitting this signal
    slot.waiting.erase(it);
    hidLog(LOG_WARNING, "HIDDevice, cmd: %x, no reply within %lld ms", static_cast<unsigned>(cmd),
           static_cast<long long>(commandReplyTimeout_.count()));
    if constexpr (std::is_same_v<Callback, CodeCallback>) {
      post(std::move(expired), kCommandNoReply);
    } else if constexpr (std::is_same_v<Callback, ValueCallback>) {
      post(std::move(expired), kCommandNoReply, std::int64_t{0});
    } else if constexpr (std::is_same_v<Callback, FlagCallback>) {
      post(std::move(expired), kCommandNoReply, false);
    } else {
      post(std::move(expired), kCommandNoReply, std::optional<std::string>());
    }
  });
  timeout->start(commandReplyTimeout_);
  slot.waiting.push_back({id, std::move(callback), std::move(timeout)});
}

template <typename Callback>
std::optional<Callback> USBDevice::take(Slot<Callback>& slot, std::uint16_t cmd) {
  if (slot.waiting.empty()) {
    hidLog(LOG_WARNING, "HIDDevice, cmd: %x, reply without a waiting request ignored",
           static_cast<unsigned>(cmd));
    return std::nullopt;
  }
  Callback callback = std::move(slot.waiting.front().callback);
  slot.waiting.pop_front();
  return callback;
}

template <typename Callback, typename... Args>
void USBDevice::post(Callback callback, Args... args) {
  if (!callback) {
    return;
  }
  // The task keeps a shared device alive until it has run, and is dropped with `context_` if
  // the device was not shared.
  QMetaObject::invokeMethod(
      &context_,
      [keep = weak_from_this().lock(), callback = std::move(callback), args...] {
        callback(args...);
      },
      Qt::QueuedConnection);
}

template <typename Callback, typename... Args>
void USBDevice::answer(Slot<Callback>& slot, std::uint16_t cmd, Args... args) {
  if (auto callback = take(slot, cmd)) {
    post(std::move(*callback), args...);
  }
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
  if (cmd == kCmdSetAutoFraming) {
    hidLog(LOG_DEBUG, "crc: %d", static_cast<int>(tx_.head.crc.get()));
  }
  sendOutputReport(tx_);
}

void USBDevice::getState(ValueCallback callback) {
  await(stateCallback_, kCmdGetState, std::move(callback));
  sendHeaderOnly(kCmdGetState);
}

void USBDevice::getVersion(TextCallback callback) {
  await(versionCallback_, kCmdGetVersion, std::move(callback));
  sendHeaderOnly(kCmdGetVersion);
}

void USBDevice::getSerialNumber(TextCallback callback) {
  await(serialNumberCallback_, kCmdGetSerialNumber, std::move(callback));
  sendHeaderOnly(kCmdGetSerialNumber);
}

void USBDevice::getCaptureInfo(FlagCallback callback) {
  await(getCaptureInfoCallback_, kCmdGetCaptureInfo, std::move(callback));
  sendHeaderOnly(kCmdGetCaptureInfo);
}

void USBDevice::getAutoFramingMode(ValueCallback callback) {
  await(getAutoFramingModeCallback_, kCmdGetAutoFramingMode, std::move(callback));
  sendHeaderOnly(kCmdGetAutoFramingMode);
}

void USBDevice::setAutoFramingMode(std::int64_t mode, CodeCallback callback) {
  await(setAutoFramingModeCallback_, kCmdSetAutoFramingMode, std::move(callback));
  sendSetting(kCmdSetAutoFramingMode, mode, static_cast<std::uint32_t>(transfer_.packetsSent()));
}

void USBDevice::getFrameMaster(FlagCallback callback) {
  await(getFrameMasterModeCallback_, kCmdGetFrameMaster, std::move(callback));
  sendHeaderOnly(kCmdGetFrameMaster);
}

void USBDevice::setFrameMaster(bool on, CodeCallback callback) {
  await(setFrameMasterModeCallback_, kCmdSetFrameMaster, std::move(callback));
  sendSetting(kCmdSetFrameMaster, on ? 1 : 0, static_cast<std::uint32_t>(transfer_.packetsSent()));
}

void USBDevice::getPickup(ValueCallback callback) {
  await(getPickupCallback_, kCmdGetPickup, std::move(callback));
  sendHeaderOnly(kCmdGetPickup);
}

void USBDevice::setPickup(std::int64_t pickup, CodeCallback callback) {
  await(setPickupCallback_, kCmdSetPickup, std::move(callback));
  sendSetting(kCmdSetPickup, pickup, static_cast<std::uint32_t>(transfer_.packetsSent()));
}

void USBDevice::getAutoFraming(FlagCallback callback) {
  await(getAutoFramingCallback_, kCmdGetAutoFraming, std::move(callback));
  sendHeaderOnly(kCmdGetAutoFraming);
}

void USBDevice::setAutoFraming(bool on, CodeCallback callback) {
  await(setAutoFramingCallback_, kCmdSetAutoFraming, std::move(callback));
  sendSetting(kCmdSetAutoFraming, on ? 1 : 0, 0);
}

void USBDevice::getHMirror(FlagCallback callback) {
  await(getHMirrorCallback_, kCmdGetHMirror, std::move(callback));
  sendHeaderOnly(kCmdGetHMirror);
}

void USBDevice::setHMirror(bool on, CodeCallback callback) {
  await(setHMirrorCallback_, kCmdSetHMirror, std::move(callback));
  sendSetting(kCmdSetHMirror, on ? 1 : 0, static_cast<std::uint32_t>(transfer_.packetsSent()));
}

void USBDevice::getAngle(ValueCallback callback) {
  await(getAngleCallback_, kCmdGetAngle, std::move(callback));
  sendHeaderOnly(kCmdGetAngle);
}

void USBDevice::setAngle(std::int64_t degrees, CodeCallback callback) {
  await(setAngleCallback_, kCmdSetAngle, std::move(callback));
  sendSetting(kCmdSetAngle, degrees, static_cast<std::uint32_t>(transfer_.packetsSent()));
}

void USBDevice::saveUVC(CodeCallback callback) {
  await(saveCallback_, kCmdSave, std::move(callback));
  sendHeaderOnly(kCmdSave);
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
    case kCmdGetState: {
      auto callback = take(stateCallback_, cmd);
      if (!callback) {
        break;
      }
      state_ = code != 0 ? 0 : d[0] == 0 ? 1 : d[0] == 1 ? 2 : 0;
      post(std::move(*callback), code, state_);
      break;
    }
    case kCmdGetVersion: {
      auto callback = take(versionCallback_, cmd);
      if (!callback) {
        break;
      }
      version_.reset();
      if (code == 0) {
        char text[16];
        std::snprintf(text, sizeof text, "%ld.%ld.%ld", static_cast<long>(std::int8_t(d[0])),
                      static_cast<long>(std::int8_t(d[1])), static_cast<long>(std::int8_t(d[2])));
        version_ = text;
      }
      post(std::move(*callback), code, version_);
      break;
    }
    case kCmdGetSerialNumber: {
      auto callback = take(serialNumberCallback_, cmd);
      if (!callback) {
        break;
      }
      serialNumber_.reset();
      const auto* bytes = reinterpret_cast<const char*>(d.data());
      if (code == 0 && QUtf8StringView(bytes, kSerialNumberBytes).isValidUtf8()) {
        serialNumber_ = std::string(bytes, kSerialNumberBytes);
      }
      post(std::move(*callback), code, serialNumber_);
      break;
    }
    case kCmdGetCaptureInfo: {
      // Read whatever the code: the camera fills these in even when it reports a failure.
      const std::int32_t width = readLe32(&d[0]);
      const std::int32_t height = readLe32(&d[4]);
      const std::int32_t status = readLe32(&d[32]);
      hidLog(LOG_DEBUG, "%d, %d, %d", width, height, status);
      answer(getCaptureInfoCallback_, cmd, code, status == 1 && height == 2160 && width == 3840);
      break;
    }
    case kCmdGetAutoFramingMode:
      answer(getAutoFramingModeCallback_, cmd, code, signedByte());
      break;
    case kCmdGetPickup:
      answer(getPickupCallback_, cmd, code, signedByte());
      break;
    case kCmdGetAngle:
      answer(getAngleCallback_, cmd, code, signedByte());
      break;
    case kCmdGetFrameMaster:
      answer(getFrameMasterModeCallback_, cmd, code, flag);
      break;
    case kCmdGetAutoFraming:
      answer(getAutoFramingCallback_, cmd, code, flag);
      break;
    case kCmdGetHMirror:
      answer(getHMirrorCallback_, cmd, code, flag);
      break;
    case kCmdSetAutoFramingMode:
      answer(setAutoFramingModeCallback_, cmd, code);
      break;
    case kCmdSetFrameMaster:
      answer(setFrameMasterModeCallback_, cmd, code);
      break;
    case kCmdSetPickup:
      answer(setPickupCallback_, cmd, code);
      break;
    case kCmdSetAutoFraming:
      answer(setAutoFramingCallback_, cmd, code);
      break;
    case kCmdSetHMirror:
      answer(setHMirrorCallback_, cmd, code);
      break;
    case kCmdSetAngle:
      answer(setAngleCallback_, cmd, code);
      break;
    case kCmdSave:
      answer(saveCallback_, cmd, code);
      break;
    case kCmdUpgradeStart:
    case kCmdUpgradeData:
    case kCmdUpgradeFinish:
      transfer_.handleReply(cmd, code);
      break;
    default:
      break;
  }
}

void USBDevice::startUpgrade(QByteArray image, CodeCallback callback,
                             FirmwareTransfer::Progress progress) {
  upgradeCallback_ = std::move(callback);
  transfer_.start(std::move(image), std::move(progress));
}

void USBDevice::channelGone() {
  // An unplugged camera ends its transfer without an outcome: the caller watches the camera
  // leave and come back instead.
  transfer_.abandon();
  if (goneHandler_) {
    goneHandler_();
  }
}

}  // namespace vexhal
