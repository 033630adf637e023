#include "device/hid/linux/UdevHidEventRoute.h"

#include <string>

namespace vexhal {

void routeUdevHidEvent(std::string_view action, std::string_view node,
                       const std::optional<HidDeviceRecord>& record,
                       const HidDiscovery::Events& events) {
  if (action == "remove") {
    if (!node.empty() && events.removed) {
      events.removed(std::string(node));
    }
  } else if (action == "add") {
    if (record && events.arrived) {
      events.arrived(*record);
    }
  } else if (action == "change") {
    if (record && events.changed) {
      events.changed(*record);
    }
  }
}

}  // namespace vexhal
