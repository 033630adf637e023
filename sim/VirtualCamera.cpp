#include "VirtualCamera.h"

#include <QTimer>

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "CameraCommand.h"
#include "CameraResultCode.h"
#include "device/UsbLocation.h"

namespace vexhal::sim {

namespace {

constexpr std::size_t kSerialNumberBytes = 13;

void writeLe32(std::uint8_t* bytes, std::int32_t value) { writeLittleEndian(bytes, 4, value); }

bool isFlag(std::uint8_t value) { return value <= 1; }

std::uint16_t requestChecksum(const hid_cmd_pack_t& request, std::size_t length) {
  const std::uint16_t header =
      hidChecksum(request.bytes().first(kHidChecksummedHeaderBytes), kHidChecksumSeed);
  return hidChecksum(std::span(request.data.data(), length), header);
}

}  // namespace

VirtualCamera::VirtualCamera(VirtualCameraIdentity identity)
    : identity_(std::move(identity)), version_(identity_.version), uvc_(identity_.controlRanges) {
  identity_.serialNumber.resize(kSerialNumberBytes, '0');
  savedFunctions_ = functions_;
  savedUvc_ = uvc_.values();
  QObject::connect(&notifier_, &QSocketNotifier::activated, &context_, [this] { readRequests(); });
  publishPicture();
}

VirtualCamera::~VirtualCamera() { notifier_.setEnabled(false); }

std::string VirtualCamera::hidKey() const { return "virtual:" + identity_.serialNumber; }

std::string VirtualCamera::captureUniqueId() const {
  return vexhal::captureUniqueId(identity_.locationId, identity_.vendorId, identity_.productId);
}

void VirtualCamera::plug() {
  ++restartToken_;
  attach();
}

void VirtualCamera::unplug() {
  ++restartToken_;
  if (attached_) {
    detach();
  }
}

void VirtualCamera::attach() {
  if (attached_.exchange(true)) {
    return;
  }
  const auto listeners = listeners_;  // a listener may add or remove listeners
  for (const auto& [id, listener] : listeners) {
    listener(true);
  }
}

void VirtualCamera::detach() {
  // Packets written to flash without a finished transfer leave the camera without firmware.
  if (receiver_.hasWritten()) {
    failed_ = true;
  }
  receiver_.abandon();
  closeLink();
  attached_ = false;
  const auto listeners = listeners_;
  for (const auto& [id, listener] : listeners) {
    listener(false);
  }
}

int VirtualCamera::addAttachListener(AttachListener listener) {
  const int id = nextListenerId_++;
  listeners_.emplace_back(id, std::move(listener));
  return id;
}

void VirtualCamera::removeAttachListener(int id) {
  std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

int VirtualCamera::addControlListener(ControlListener listener) {
  const int id = nextListenerId_++;
  controlListeners_.emplace_back(id, std::move(listener));
  return id;
}

void VirtualCamera::removeControlListener(int id) {
  std::erase_if(controlListeners_, [id](const auto& entry) { return entry.first == id; });
}

UniqueFd VirtualCamera::openHid() {
  if (!attached_ || link_.isValid()) {
    return UniqueFd();
  }
  int fds[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
    return UniqueFd();
  }
  link_.reset(fds[1]);
  ++linkGeneration_;
  notifier_.setSocket(link_.get());
  notifier_.setEnabled(true);
  return UniqueFd(fds[0]);
}

void VirtualCamera::closeLink() {
  notifier_.setEnabled(false);
  link_.reset();
  ++linkGeneration_;
}

void VirtualCamera::readRequests() {
  // Everything queued is answered in one go; the notifier fires again for later reports.
  while (link_.isValid()) {
    ssize_t got = -1;
    do {
      got = ::recv(link_.get(), rx_.bytes().data(), kHidPacketSize, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;
    }
    if (got <= 0) {
      // The program closed the interface: a transfer it had begun is cut off.
      if (receiver_.hasWritten()) {
        failed_ = true;
      }
      receiver_.abandon();
      closeLink();
      return;
    }
    std::fill(rx_.bytes().begin() + got, rx_.bytes().end(), std::uint8_t{0});
    const std::optional<hid_cmd_pack_t> reply = respond(rx_);
    if (!reply) {
      continue;
    }
    if (faults_.replyDelay.count() > 0) {
      QTimer::singleShot(
          faults_.replyDelay, &context_,
          [this, pack = *reply, generation = linkGeneration_] { sendReply(pack, generation); });
    } else {
      sendReply(*reply, linkGeneration_);
    }
  }
}

void VirtualCamera::sendReply(const hid_cmd_pack_t& reply, std::uint64_t linkGeneration) {
  if (linkGeneration != linkGeneration_ || !link_.isValid()) {
    return;  // the interface the request came on has closed since
  }
  ssize_t sent = -1;
  do {
    sent = ::send(link_.get(), reply.bytes().data(), kHidPacketSize, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  // A host that stops reading fills the socket; like a camera's endpoint, this one then drops
  // replies instead of blocking.
}

std::optional<hid_cmd_pack_t> VirtualCamera::respond(const hid_cmd_pack_t& request) {
  ++reportsReceived_;
  if (request.head.reportId != kHidReportId || request.head.magic.get() != kHidMagic) {
    return std::nullopt;  // not a report of this protocol
  }
  const std::uint16_t cmd = request.head.cmd.get();
  if (faults_.noReply.contains(cmd)) {
    return std::nullopt;
  }
  hid_cmd_pack_t reply{};
  if (faults_.garbage.contains(cmd)) {
    for (std::uint8_t& byte : reply.bytes()) {
      byte = static_cast<std::uint8_t>(garbageBytes_());
    }
    reply.head.cmd.set(cmd);  // so that it reaches the command's handler
    if (reply.head.packNum.get() == 0) {
      reply.head.packNum.set(1);  // garbage never reads as success
    }
    lastReply_ = reply;
    return reply;
  }
  reply.head.reportId = kHidReportId;
  reply.head.magic.set(kHidMagic);
  reply.head.cmd.set(cmd);
  const std::size_t length = request.head.dataLength.get();
  std::uint32_t code = 0;
  bool answered = true;
  if (const auto fault = faults_.errorCodes.find(cmd); fault != faults_.errorCodes.end()) {
    code = fault->second;
  } else if (length > kHidDataCapacity) {
    code = kResultInvalidValue;
  } else if (requestChecksum(request, length) != request.head.crc.get()) {
    code = kResultBadChecksum;
  } else if (cmd == kCmdUpgradeStart || cmd == kCmdUpgradeData || cmd == kCmdUpgradeFinish) {
    answerTransfer(cmd, request, reply, answered);
    code = reply.head.packNum.get();
  } else {
    answerCommand(cmd, request, reply);
    code = reply.head.packNum.get();
  }
  if (!answered) {
    return std::nullopt;
  }
  reply.head.packNum.set(code);
  if (code != 0) {
    reply.head.dataLength.set(0);
    reply.data.fill(0);
  }
  sealPacket(reply);
  lastReply_ = reply;
  return reply;
}

void VirtualCamera::answerCommand(std::uint16_t cmd, const hid_cmd_pack_t& request,
                                  hid_cmd_pack_t& reply) {
  auto& d = reply.data;
  std::size_t length = 1;
  std::uint32_t code = 0;
  switch (cmd) {
    case kCmdGetState:
      d[0] = failed_ ? 1 : 0;
      break;
    case kCmdGetVersion:
      d[0] = version_.major;
      d[1] = version_.minor;
      d[2] = version_.patch;
      length = 3;
      break;
    case kCmdGetSerialNumber:
      std::memcpy(d.data(), identity_.serialNumber.data(), kSerialNumberBytes);
      length = kSerialNumberBytes;
      break;
    case kCmdGetCaptureInfo: {
      std::int32_t width = 0;
      std::int32_t height = 0;
      std::int32_t status = 0;
      if (faults_.otherProgramCaptures4K) {
        width = 3840;
        height = 2160;
        status = 1;
      } else {
        const std::lock_guard lock(pictureMutex_);
        width = streamingWidth_;
        height = streamingHeight_;
        status = width > 0 ? 1 : 0;
      }
      writeLe32(&d[0], width);
      writeLe32(&d[4], height);
      writeLe32(&d[32], status);
      length = 36;
      break;
    }
    case kCmdGetAutoFramingMode:
      d[0] = static_cast<std::uint8_t>(functions_.autoFramingMode);
      break;
    case kCmdGetFrameMaster:
      d[0] = functions_.frameMaster ? 1 : 0;
      break;
    case kCmdGetPickup:
      d[0] = static_cast<std::uint8_t>(functions_.pickup);
      break;
    case kCmdGetAutoFraming:
      d[0] = functions_.autoFraming ? 1 : 0;
      break;
    case kCmdGetHMirror:
      d[0] = functions_.hMirror ? 1 : 0;
      break;
    case kCmdGetAngle:
      d[0] = static_cast<std::uint8_t>(functions_.angle);
      break;
    case kCmdSetAutoFramingMode:
    case kCmdSetFrameMaster:
    case kCmdSetPickup:
    case kCmdSetAutoFraming:
    case kCmdSetHMirror:
    case kCmdSetAngle:
      code = request.head.dataLength.get() < 1 ? kResultInvalidValue
                                               : setFunction(cmd, request.data[0]);
      length = 0;
      break;
    case kCmdSave:
      savedFunctions_ = functions_;
      savedUvc_ = uvc_.values();
      length = 0;
      break;
    default:
      code = kResultUnknownCommand;
      length = 0;
      break;
  }
  reply.head.packNum.set(code);
  reply.head.dataLength.set(static_cast<std::uint16_t>(length));
}

std::uint32_t VirtualCamera::setFunction(std::uint16_t cmd, std::uint8_t value) {
  CameraFunctions next = functions_;
  switch (cmd) {
    case kCmdSetAutoFramingMode:
      if (!isFlag(value)) return kResultInvalidValue;
      next.autoFramingMode = static_cast<std::int8_t>(value);
      break;
    case kCmdSetFrameMaster:
      if (!isFlag(value)) return kResultInvalidValue;
      next.frameMaster = value != 0;
      break;
    case kCmdSetPickup:
      if (value > 100) return kResultInvalidValue;
      next.pickup = static_cast<std::int8_t>(value);
      break;
    case kCmdSetAutoFraming:
      if (!isFlag(value)) return kResultInvalidValue;
      next.autoFraming = value != 0;
      break;
    case kCmdSetHMirror:
      if (!isFlag(value)) return kResultInvalidValue;
      next.hMirror = value != 0;
      break;
    case kCmdSetAngle:
      if (value != 60 && value != 90 && value != 120) return kResultInvalidValue;
      next.angle = static_cast<std::int8_t>(value);
      break;
    default:
      return kResultUnknownCommand;
  }
  functions_ = next;
  publishPicture();
  return 0;
}

void VirtualCamera::answerTransfer(std::uint16_t cmd, const hid_cmd_pack_t& request,
                                   hid_cmd_pack_t& reply, bool& answered) {
  std::uint32_t code = 0;
  if (cmd == kCmdUpgradeStart) {
    code = receiver_.start();
  } else if (cmd == kCmdUpgradeData) {
    const std::uint32_t packNum = request.head.packNum.get();
    code = receiver_.accept(packNum, request.head.dataStatus,
                            std::span(request.data.data(), request.head.dataLength.get()));
    if (code == 0 && faults_.detachAfterPacket > 0 &&
        receiver_.packetsReceived() == faults_.detachAfterPacket) {
      // Gone before answering, as a camera that loses power mid-transfer.
      answered = false;
      restartLater(std::chrono::milliseconds(0), std::nullopt);
      return;
    }
  } else {
    const bool written = receiver_.hasWritten();
    const FirmwareReceiver::Outcome outcome = receiver_.finish();
    code = outcome.code;
    if (code == 0) {
      restartLater(rebootDelay_, outcome.check.version);
    } else if (written) {
      failed_ = true;  // the old firmware was overwritten by an image that does not check out
    }
  }
  reply.head.packNum.set(code);
  reply.head.dataLength.set(0);
}

void VirtualCamera::restartLater(std::chrono::milliseconds after,
                                 std::optional<FirmwareVersion> newVersion) {
  const std::uint64_t token = restartToken_;
  QTimer::singleShot(after, &context_, [this, token, newVersion] {
    if (token != restartToken_ || !attached_) {
      return;
    }
    reboot(newVersion);
    if (faults_.neverReturn) {
      return;
    }
    QTimer::singleShot(restartDelay_, &context_, [this, token] {
      if (token == restartToken_) {
        attach();
      }
    });
  });
}

void VirtualCamera::reboot(std::optional<FirmwareVersion> newVersion) {
  if (newVersion) {
    version_ = *newVersion;
    failed_ = false;
  }
  detach();
  // Starting up, the camera loads what was last saved.
  functions_ = savedFunctions_;
  uvc_.restore(savedUvc_);
  publishPicture();
}

int VirtualCamera::uvcRequest(UVCControlRequest& request) {
  if (!attached_) {
    return ENODEV;
  }
  const int unit = request.wIndex >> 8;
  const int selector = request.wValue >> 8;
  if (unit != kUvcExtensionUnit) {
    UvcControlStore::Changes changes;
    const int status = uvc_.handle(request, &changes);
    controlsChanged(changes);
    return status;
  }
  // The vendor controls of the extension unit are the framing, angle and mirror functions.
  static constexpr std::array<std::uint16_t, 3> kSetters{kCmdSetAutoFraming, kCmdSetAngle,
                                                         kCmdSetHMirror};
  if (selector < 1 || selector > 3 || (request.wIndex & 0xFFU) != 0 ||
      (request.wValue & 0xFFU) != 0) {
    return EPIPE;
  }
  if (request.wLength != 1 || request.pData == nullptr) {
    return request.pData == nullptr && request.wLength > 0 ? EINVAL : EPIPE;
  }
  request.wLenDone = 0;
  if (request.bRequest == kUvcSetCur && request.bmRequestType == kUvcRequestTypeSet) {
    if (setFunction(kSetters[static_cast<std::size_t>(selector - 1)], request.pData[0]) != 0) {
      return ERANGE;
    }
  } else if (request.bRequest == kUvcGetCur && request.bmRequestType == kUvcRequestTypeGet) {
    request.pData[0] = selector == 1   ? (functions_.autoFraming ? 1 : 0)
                       : selector == 2 ? static_cast<std::uint8_t>(functions_.angle)
                                       : (functions_.hMirror ? 1 : 0);
  } else {
    return EPIPE;
  }
  request.wLenDone = 1;
  return 0;
}

int VirtualCamera::getVideoControl(std::uint32_t id, std::int64_t& value) const {
  return attached_ ? uvc_.get(id, value) : ENODEV;
}

int VirtualCamera::setVideoControl(std::uint32_t id, std::int64_t value) {
  if (!attached_) {
    return ENODEV;
  }
  UvcControlStore::Changes changes;
  const int status = uvc_.set(id, value, &changes);
  controlsChanged(changes);
  return status;
}

void VirtualCamera::controlsChanged(const UvcControlStore::Changes& changes) {
  if (changes.empty()) {
    return;
  }
  publishPicture();
  // Every channel and watch is a handle of its own, so each watch hears of every change.
  const auto listeners = controlListeners_;  // a listener may add or remove listeners
  for (const VideoControlEvent& event : changes) {
    for (const auto& [id, listener] : listeners) {
      listener(event);
    }
  }
}

void VirtualCamera::setFaults(SimFaults faults) { faults_ = std::move(faults); }

PictureSettings VirtualCamera::pictureSettings() const {
  const std::lock_guard lock(pictureMutex_);
  return picture_;
}

void VirtualCamera::setStreaming(std::int32_t width, std::int32_t height) {
  const std::lock_guard lock(pictureMutex_);
  streamingWidth_ = width;
  streamingHeight_ = height;
}

void VirtualCamera::publishPicture() {
  PictureSettings next;
  next.brightness = static_cast<std::int32_t>(uvc_.value(kUvcBrightness).value_or(128));
  next.contrast = static_cast<std::int32_t>(uvc_.value(kUvcContrast).value_or(128));
  next.saturation = static_cast<std::int32_t>(uvc_.value(kUvcSaturation).value_or(128));
  next.sharpness = static_cast<std::int32_t>(uvc_.value(kUvcSharpness).value_or(128));
  next.mirror = functions_.hMirror;
  next.angle = functions_.angle;
  next.autoFraming = functions_.autoFraming;
  next.peopleBox = functions_.frameMaster;
  const std::lock_guard lock(pictureMutex_);
  if (!(next == picture_)) {
    picture_ = next;
    ++pictureGeneration_;
  }
}

}  // namespace vexhal::sim
