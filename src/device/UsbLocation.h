#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexhal {

// Composes a camera's USB location id the way the original platform does: the bus number in
// bits 31 to 24, then one hexadecimal digit per port of the device path, from the high end
// (bus 3, device path "1.4.2" gives 0x03142000). A first port above 15 (root hubs of xHCI
// controllers have them) has no digit of its own: then a zero digit follows the bus, the port
// takes the next two digits and up to three further ports one digit each (bus 3, device path
// "17.2" gives 0x03011200). A zero digit never precedes a port digit in the first form, so the
// two never give the same id. Returns nothing for a path that cannot be expressed either way
// (a deeper port above 15, too many levels, or text that is not a path).
std::optional<std::int64_t> composeLocationId(int busNumber, std::string_view devpath);

// The unique identifier under which a capture device of the camera at this location is known:
// "0x", the location id in lower-case hexadecimal without leading zeros, then vendor and
// product id as four lower-case hexadecimal digits each.
std::string captureUniqueId(std::int64_t locationId, std::uint16_t vendorId,
                            std::uint16_t productId);

}  // namespace vexhal
