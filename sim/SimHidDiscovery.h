#pragma once

#include <QObject>

#include <memory>
#include <utility>
#include <vector>

#include "VirtualCamera.h"
#include "device/hid/HidDiscovery.h"

namespace vexhal::sim {

// Discovery of virtual cameras for the program's HID manager: reports each camera's arrivals
// and removals, and opens its HID interface as a socket pair. Cameras matching the monitored
// ids are reported; those attached when monitoring starts arrive through the event loop, like
// new ones. Runs on the main thread. The cameras must outlive the discovery.
class SimHidDiscovery final : public HidDiscovery {
 public:
  SimHidDiscovery() = default;
  explicit SimHidDiscovery(std::vector<VirtualCamera*> cameras);
  SimHidDiscovery(const SimHidDiscovery&) = delete;
  SimHidDiscovery& operator=(const SimHidDiscovery&) = delete;
  ~SimHidDiscovery() override;

  void addCamera(VirtualCamera& camera);

  int start(std::uint16_t vendorId, std::uint16_t productId, Events events) override;
  UniqueFd open(const HidDeviceRecord& device) override;

 private:
  void cameraChanged(VirtualCamera& camera, bool attached);
  bool matches(const VirtualCamera& camera) const;
  static HidDeviceRecord recordOf(const VirtualCamera& camera);

  std::vector<std::pair<VirtualCamera*, int>> cameras_;  // camera, its listener id
  bool started_ = false;
  std::uint16_t vendorId_ = 0;
  std::uint16_t productId_ = 0;
  Events events_;
  QObject context_;  // arrivals posted at start die with the discovery
};

}  // namespace vexhal::sim
