#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexhal {

// One item of a menu control: the value that selects it and the driver's name for it.
struct VideoMenuItem {
  std::int64_t value = 0;
  std::string label;

  friend bool operator==(const VideoMenuItem&, const VideoMenuItem&) = default;
};

// One control of a camera's video node as the driver describes it, with its value when it was
// listed.
struct VideoControl {
  enum class Type { integer, boolean, menu, integerMenu };

  std::uint32_t id = 0;  // the V4L2 control id
  std::string name;      // the driver's name: "Exposure Time, Absolute"
  std::string key;       // the name as the command line and stored files spell it
  Type type = Type::integer;
  std::int64_t minimum = 0;
  std::int64_t maximum = 0;
  std::int64_t step = 1;
  std::int64_t defaultValue = 0;
  std::int64_t value = 0;
  bool readOnly = false;
  bool inactive = false;            // an automatic mode owns the control for now
  std::vector<VideoMenuItem> menu;  // menus only, the items the driver names

  friend bool operator==(const VideoControl&, const VideoControl&) = default;
};

// A control's name as a key: lower case, every run of other characters one dash, none at
// either end ("White Balance, Automatic" gives "white-balance-automatic").
std::string videoControlKey(std::string_view name);

// The automatic control that makes this one inactive while it is on (exposure time's is
// automatic exposure), or nothing.
std::optional<std::uint32_t> owningAutomaticControl(std::uint32_t id);

// The four controls the image page shows with its sliders; every other control is a further one.
bool isImagePageControl(std::uint32_t id);

}  // namespace vexhal
