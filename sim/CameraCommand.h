#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "device/hid/CameraCommand.h"

namespace vexhal::sim {

// The command codes are the device layer's own.
using vexhal::CameraCommand;
using enum vexhal::CameraCommand;

// A command by its short name ("state", "set-angle", "upgrade-data", ...) or by its code in
// hexadecimal ("0x50a1").
std::optional<std::uint16_t> commandFromText(std::string_view text);

}  // namespace vexhal::sim
