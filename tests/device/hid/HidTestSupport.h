#pragma once

#include <sys/socket.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/EventLoop.h"
#include "device/hid/HidPacket.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidManager.h"
#include "base/UniqueFd.h"

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

  void reply(std::uint16_t cmd, std::uint32_t code, const std::vector<std::uint8_t>& data = {}) {
    hid_cmd_pack_t pack{};
    pack.head.reportId = kHidReportId;
    pack.head.cmd.set(cmd);
    pack.head.packNum.set(code);
    std::copy(data.begin(), data.end(), pack.data.begin());
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

// Discovery driven by the test: each camera attached gets a camera end, opened unless refused
// with an errno (EBUSY: another program holds it; EACCES: this user may not).
class FakeDiscovery : public HidDiscovery {
 public:
  int start(std::uint16_t, std::uint16_t, Events events) override {
    events_ = std::move(events);
    return startStatus;
  }
  UniqueFd open(const HidDeviceRecord& device) override { return tryOpen(device).fd; }
  OpenResult tryOpen(const HidDeviceRecord& device) override {
    ++opens;
    const int refusal = refusals[device.key];
    return refusal != 0 ? OpenResult{UniqueFd(), refusal}
                        : OpenResult{cameras[device.key].takeHostFd(), 0};
  }

  CameraEnd& attach(const std::string& key, int refusal = 0) {
    cameras[key] = CameraEnd();
    refusals[key] = refusal;
    events_.arrived(record(key));
    return cameras[key];
  }
  void change(const std::string& key) { events_.changed(record(key)); }
  void detach(const std::string& key) { events_.removed(key); }
  static HidDeviceRecord record(const std::string& key) {
    return HidDeviceRecord{key, 0xB206, 0xB215, 0x03142000};
  }

  int startStatus = 0;
  int opens = 0;
  std::map<std::string, int> refusals;
  std::map<std::string, CameraEnd> cameras;

 private:
  Events events_;
};

// Logs what the manager tells it as "<name>+key" (" closed" when not open) and "<name>-key".
struct LogDelegate : USBHidDelegate {
  LogDelegate(std::vector<std::string>& lines, std::string prefix = "")
      : log(lines), name(std::move(prefix)) {}
  void usbHidManagerDidAttachDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    log.push_back(name + "+" + device->key() + (device->isOpen() ? "" : " closed"));
  }
  void usbHidManagerDidRemoveDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    log.push_back(name + "-" + device->key());
  }
  std::vector<std::string>& log;
  std::string name;
};

// A manager watching the camera's ids through a FakeDiscovery, with a delegate logging.
struct CameraOnManager : ::testing::Test {
  CameraOnManager() {
    manager->addDelegate(delegate);
    manager->startMonitoringForVendorID(0xB206, 0xB215);
  }
  std::vector<std::string> keys() const {
    std::vector<std::string> all;
    for (const auto& device : manager->devices()) all.push_back(device->key());
    return all;
  }

  bool app = (ensureCoreApplication(), true);
  FakeDiscovery* discovery = new FakeDiscovery;  // owned by the manager
  std::unique_ptr<USBHidManager> manager =
      std::make_unique<USBHidManager>(std::unique_ptr<HidDiscovery>(discovery));
  std::vector<std::string> log;
  std::shared_ptr<LogDelegate> delegate = std::make_shared<LogDelegate>(log);
};

}  // namespace vexhal::test
