#include "CameraCommand.h"

#include <array>
#include <charconv>
#include <utility>

namespace vexhal::sim {

namespace {

constexpr std::array<std::pair<std::string_view, std::uint16_t>, 20> kNames{{
    {"state", kCmdGetState},
    {"version", kCmdGetVersion},
    {"serial", kCmdGetSerialNumber},
    {"capture-info", kCmdGetCaptureInfo},
    {"get-framing-mode", kCmdGetAutoFramingMode},
    {"set-framing-mode", kCmdSetAutoFramingMode},
    {"get-people-box", kCmdGetFrameMaster},
    {"set-people-box", kCmdSetFrameMaster},
    {"get-pickup", kCmdGetPickup},
    {"set-pickup", kCmdSetPickup},
    {"get-framing", kCmdGetAutoFraming},
    {"set-framing", kCmdSetAutoFraming},
    {"get-mirror", kCmdGetHMirror},
    {"set-mirror", kCmdSetHMirror},
    {"get-angle", kCmdGetAngle},
    {"set-angle", kCmdSetAngle},
    {"save", kCmdSave},
    {"upgrade-start", kCmdUpgradeStart},
    {"upgrade-data", kCmdUpgradeData},
    {"upgrade-finish", kCmdUpgradeFinish},
}};

}  // namespace

std::optional<std::uint16_t> commandFromText(std::string_view text) {
  for (const auto& [name, code] : kNames) {
    if (name == text) {
      return code;
    }
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint16_t code = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data() + 2, end, code, 16);
    if (error == std::errc() && ptr == end) {
      return code;
    }
  }
  return std::nullopt;
}

}  // namespace vexhal::sim
