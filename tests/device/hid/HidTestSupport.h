#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "common/EventLoop.h"
#include "device/hid/HidPacket.h"
#include "device/hid/USBDevice.h"
#include "device/hid/UniqueFd.h"

namespace vexhal::test {

// The camera's end of a SOCK_SEQPACKET pair whose other end stands in for /dev/hidrawN.
class CameraEnd {
 public:
  CameraEnd() {
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) == 0) {
      host_.reset(fds[0]);
      camera_.reset(fds[1]);
    }
  }

  // The descriptor the program side reads and writes.
  UniqueFd takeHostFd() { return std::move(host_); }

  // Every report written to the camera so far, in order.
  std::vector<hid_cmd_pack_t> requests() {
    std::vector<hid_cmd_pack_t> all;
    hid_cmd_pack_t pack{};
    while (::recv(camera_.get(), &pack, sizeof pack, 0) == static_cast<ssize_t>(sizeof pack)) {
      all.push_back(pack);
    }
    return all;
  }

  void reply(std::uint16_t cmd, std::uint32_t code, std::initializer_list<std::uint8_t> data = {}) {
    hid_cmd_pack_t pack{};
    pack.head.reportId = kHidReportId;
    pack.head.cmd.set(cmd);
    pack.head.packNum.set(code);
    std::size_t i = 0;
    for (const std::uint8_t byte : data) {
      pack.data[i++] = byte;
    }
    sendRaw(pack.bytes().data(), sizeof pack);
  }

  void sendRaw(const void* bytes, std::size_t length) {
    ::send(camera_.get(), bytes, length, MSG_NOSIGNAL);
  }

  void unplug() { camera_.reset(); }

 private:
  UniqueFd host_;
  UniqueFd camera_;
};

// A device wired to a camera end, with the event loop ready.
struct WiredDevice {
  WiredDevice() {
    ensureCoreApplication();
    device = std::make_shared<USBDevice>(
        HidDeviceRecord{"/dev/hidraw-test", 0xB206, 0xB215, 0x03142000}, camera.takeHostFd());
  }
  CameraEnd camera;
  std::shared_ptr<USBDevice> device;
};

}  // namespace vexhal::test
