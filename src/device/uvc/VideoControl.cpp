#include "device/uvc/VideoControl.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <utility>

namespace vexhal {

std::string videoControlKey(std::string_view name) {
  std::string key;
  bool dash = false;
  for (const char c : name) {
    const bool lower = c >= 'a' && c <= 'z';
    const bool upper = c >= 'A' && c <= 'Z';
    const bool digit = c >= '0' && c <= '9';
    if (!lower && !upper && !digit) {
      dash = !key.empty();
      continue;
    }
    if (dash) {
      key += '-';
      dash = false;
    }
    key += upper ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

std::optional<std::uint32_t> owningAutomaticControl(std::uint32_t id) {
  // The pairs uvcvideo ties together: the manual control goes inactive while its automatic
  // partner is on.
  static constexpr std::array<std::pair<std::uint32_t, std::uint32_t>, 7> kOwners{{
      {V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
      {V4L2_CID_IRIS_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
      {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
      {V4L2_CID_BLUE_BALANCE, V4L2_CID_AUTO_WHITE_BALANCE},
      {V4L2_CID_RED_BALANCE, V4L2_CID_AUTO_WHITE_BALANCE},
      {V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO},
      {V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
  }};
  const auto it = std::find_if(kOwners.begin(), kOwners.end(),
                               [id](const auto& pair) { return pair.first == id; });
  return it == kOwners.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
}

bool isImagePageControl(std::uint32_t id) {
  return id == V4L2_CID_BRIGHTNESS || id == V4L2_CID_CONTRAST || id == V4L2_CID_SATURATION ||
         id == V4L2_CID_SHARPNESS;
}

}  // namespace vexhal
