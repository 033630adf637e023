#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "GadgetBus.h"
#include "VirtualCamera.h"
#include "device/hid/HidPacket.h"
#include "base/UniqueFd.h"

namespace vexhal::sim {

// Serves a virtual camera's HID interface on the device side of a USB gadget's HID function
// (/dev/hidgN): every output report the host writes is read here and answered by the camera,
// and the reply goes back as an input report. When the camera detaches or attaches (a restart
// after a firmware transfer, or plugging by hand), the gadget is taken off or put back on the
// bus, so the host sees the camera leave and return.
//
// Threading: main thread only, like the camera (socket notifiers and bus completions).
class HidGadget {
 public:
  // Opens the gadget's HID node; by default `path` read-write and non-blocking.
  using Opener = std::function<UniqueFd(const std::string& path)>;

  // Plugs the camera in if it is not yet, and opens the node. The gadget is taken to be bound
  // already, as a gadget is once the node exists.
  HidGadget(VirtualCamera& camera, std::string path, GadgetBus& bus, Opener opener = {});
  HidGadget(const HidGadget&) = delete;
  HidGadget& operator=(const HidGadget&) = delete;
  ~HidGadget();

  bool isOpen() const { return fd_.isValid(); }
  // Whether the host side has caught up with the camera's last attach or detach.
  bool isSettled() const { return pendingBusChanges_ == 0; }
  std::uint64_t reportsAnswered() const { return reportsAnswered_; }
  // Bus changes that failed (the host never saw the camera go or come back).
  std::uint64_t busFailures() const { return busFailures_; }

  static UniqueFd openNode(const std::string& path);

 private:
  void open();
  void close();
  void readReports();
  void writeReplies();
  void cameraAttached(bool attached);

  VirtualCamera& camera_;
  std::string path_;
  GadgetBus& bus_;
  Opener opener_;
  int listenerId_ = 0;
  int pendingBusChanges_ = 0;
  std::uint64_t reportsAnswered_ = 0;
  std::uint64_t busFailures_ = 0;

  UniqueFd fd_;
  QSocketNotifier readNotifier_{QSocketNotifier::Read};
  QSocketNotifier writeNotifier_{QSocketNotifier::Write};
  hid_cmd_pack_t rx_{};
  // Replies the host has not fetched yet: the function holds one input report at a time.
  std::deque<hid_cmd_pack_t> replies_;
  // Bus completions that arrive after the gadget is gone find this expired.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  QObject context_;
};

}  // namespace vexhal::sim
