// Feeds arbitrary reports to the reply path of a camera that has a firmware transfer in
// progress. The input is a sequence of reports, each preceded by two bytes giving its length
// (taken modulo 1025), so short, empty and whole reports all occur.

#include <QCoreApplication>
#include <QEvent>

#include <sys/socket.h>
#include <syslog.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/hid/USBDevice.h"

namespace {

using vexhal::USBDevice;

std::int64_t sink = 0;  // completions write here so their arguments are used

void drain(int fd) {
  char buffer[1024];
  while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
  }
}

void subscribeAll(USBDevice& device) {
  const auto value = [](std::int64_t code, std::int64_t v) { sink += code + v; };
  const auto flag = [](std::int64_t code, bool v) { sink += code + (v ? 1 : 0); };
  const auto text = [](std::int64_t code, const std::optional<std::string>& t) {
    sink += code + static_cast<std::int64_t>(t ? t->size() : 0);
  };
  const auto code = [](std::int64_t c) { sink += c; };
  device.getState(value);
  device.getVersion(text);
  device.getSerialNumber(text);
  device.getCaptureInfo(flag);
  device.getAutoFramingMode(value);
  device.setAutoFramingMode(1, code);
  device.getFrameMaster(flag);
  device.setFrameMaster(true, code);
  device.getPickup(value);
  device.setPickup(2, code);
  device.getAutoFraming(flag);
  device.setAutoFraming(true, code);
  device.getHMirror(flag);
  device.setHMirror(false, code);
  device.getAngle(value);
  device.setAngle(90, code);
  device.saveUVC(code);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  // The HID layer logs to syslog; without a listening /dev/log every line would cost a socket,
  // a connect and a close, most of a run's time.
  setlogmask(LOG_MASK(LOG_EMERG));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
    return 0;
  }
  vexhal::UniqueFd camera(fds[1]);
  auto device = std::make_shared<USBDevice>(
      vexhal::HidDeviceRecord{"/dev/hidraw-fuzz", 0xB206, 0xB215, 0x01100000},
      vexhal::UniqueFd(fds[0]));
  device->setTransferReplyTimeout(std::chrono::hours(1));
  subscribeAll(*device);
  device->startUpgrade(QByteArray(2500, '\x5A'), [](std::int64_t c) { sink += c; });
  drain(camera.get());

  std::size_t pos = 0;
  std::size_t reports = 0;
  while (pos + 2 <= size) {
    const std::size_t wanted =
        (static_cast<std::size_t>(data[pos]) | static_cast<std::size_t>(data[pos + 1]) << 8) % 1025;
    pos += 2;
    const std::size_t length = wanted < size - pos ? wanted : size - pos;
    device->processInput(data + pos, length);
    pos += length;
    // Each drain costs a system call; the camera's end holds far more than 64 replies' worth.
    if (++reports % 64 == 0) drain(camera.get());
  }
  QCoreApplication::sendPostedEvents();
  device.reset();
  QCoreApplication::sendPostedEvents();
  // The reply timers of the commands are deleted later; without a loop they would pile up in the
  // event dispatcher and slow every later run.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return 0;
}
