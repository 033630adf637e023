#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexhal {

// Hexadecimal digits of `value` (as unsigned), most significant first, upper-case, no prefix and
// no leading zeros; 0 gives "0". At most nine digits: the lowest nine of a larger value.
std::string toHex(std::int64_t value);

// Whether a video capture device with this unique identifier belongs to the camera at
// `locationId`: the identifier, lower-cased and taken after its single "0x" if it has exactly
// one, must begin with the location id's lower-case hexadecimal digits.
bool isMatched(std::string_view captureUniqueId, std::int64_t locationId);

}  // namespace vexhal
