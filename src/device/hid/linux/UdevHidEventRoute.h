#pragma once

#include <optional>
#include <string_view>

#include "device/hid/HidDiscovery.h"

namespace vexhal {

// Hands one udev monitor event on a hidraw node to the discovery's events: "add" arrives,
// "remove" leaves by node path, and "change" (udev re-ran its rules, which may have granted
// access since) is passed on so a camera that could not be opened is tried again. `record` is
// the camera's identity when the node belongs to a watched camera; other events are dropped.
void routeUdevHidEvent(std::string_view action, std::string_view node,
                       const std::optional<HidDeviceRecord>& record,
                       const HidDiscovery::Events& events);

}  // namespace vexhal
