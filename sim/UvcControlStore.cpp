#include "UvcControlStore.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace vexhal::sim {

namespace {

constexpr std::uint8_t kInfoGetAndSet = 0x03;
constexpr std::uint8_t kInfoDisabledByAutomaticMode = 0x04;
constexpr std::size_t kLengthOfGetLen = 2;

// The UVC mode bit of each V4L2 automatic exposure menu item: automatic, manual, shutter and
// aperture priority.
constexpr std::array<std::int64_t, 4> kExposureModeBits{kUvcExposureAuto, kUvcExposureManual, 4, 8};

using Type = VideoControl::Type;

}  // namespace

std::int64_t readLittleEndian(const std::uint8_t* bytes, std::size_t length) {
  std::uint64_t value = 0;
  for (std::size_t i = length; i-- > 0;) {
    value = (value << 8) | bytes[i];
  }
  return static_cast<std::int64_t>(value);
}

void writeLittleEndian(std::uint8_t* bytes, std::size_t length, std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
}

UvcControlStore::UvcControlStore(const std::vector<Range>& ranges)
    : controls_{
          {kUvcBrightness,
           V4L2_CID_BRIGHTNESS,
           "Brightness",
           Type::integer,
           0,
           255,
           1,
           128,
           128,
           {}},
          {kUvcContrast, V4L2_CID_CONTRAST, "Contrast", Type::integer, 0, 255, 1, 128, 128, {}},
          {kUvcSaturation,
           V4L2_CID_SATURATION,
           "Saturation",
           Type::integer,
           0,
           255,
           1,
           128,
           128,
           {}},
          {kUvcSharpness, V4L2_CID_SHARPNESS, "Sharpness", Type::integer, 0, 255, 1, 128, 128, {}},
          {kUvcGain, V4L2_CID_GAIN, "Gain", Type::integer, 0, 100, 1, 0, 0, {}},
          {kUvcWhiteBalanceTemperature,
           V4L2_CID_WHITE_BALANCE_TEMPERATURE,
           "White Balance Temperature",
           Type::integer,
           2800,
           6500,
           10,
           4600,
           4600,
           {}},
          {kUvcAutoWhiteBalance,
           V4L2_CID_AUTO_WHITE_BALANCE,
           "White Balance, Automatic",
           Type::boolean,
           0,
           1,
           1,
           1,
           1,
           {}},
          {kUvcAutoExposureMode,
           V4L2_CID_EXPOSURE_AUTO,
           "Auto Exposure",
           Type::menu,
           V4L2_EXPOSURE_MANUAL,
           V4L2_EXPOSURE_APERTURE_PRIORITY,
           1,
           V4L2_EXPOSURE_APERTURE_PRIORITY,
           V4L2_EXPOSURE_APERTURE_PRIORITY,
           {{V4L2_EXPOSURE_MANUAL, "Manual Mode"},
            {V4L2_EXPOSURE_APERTURE_PRIORITY, "Aperture Priority Mode"}}},
          {kUvcExposureTime,
           V4L2_CID_EXPOSURE_ABSOLUTE,
           "Exposure Time, Absolute",
           Type::integer,
           1,
           10000,
           1,
           156,
           156,
           {}},
          {kUvcPowerLineFrequency,
           V4L2_CID_POWER_LINE_FREQUENCY,
           "Power Line Frequency",
           Type::menu,
           0,
           2,
           1,
           1,
           1,
           {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}}},
          {kUvcBacklightCompensation,
           V4L2_CID_BACKLIGHT_COMPENSATION,
           "Backlight Compensation",
           Type::integer,
           0,
           2,
           1,
           0,
           0,
           {}},
      } {
  std::sort(controls_.begin(), controls_.end(),
            [](const Control& a, const Control& b) { return a.id < b.id; });
  for (const Range& range : ranges) {
    const auto it = std::find_if(controls_.begin(), controls_.end(),
                                 [&](const Control& control) { return control.id == range.id; });
    if (it != controls_.end()) {
      it->minimum = range.minimum;
      it->maximum = range.maximum;
      it->defaultValue = it->current = range.defaultValue;
    }
  }
}

UvcControlStore::Control* UvcControlStore::find(std::int32_t unit, std::int32_t selector) {
  const auto it = std::find_if(controls_.begin(), controls_.end(), [&](const Control& control) {
    return control.info.unit == unit && control.info.selector == selector;
  });
  return it == controls_.end() ? nullptr : &*it;
}

const UvcControlStore::Control* UvcControlStore::find(std::uint32_t id) const {
  const auto it = std::find_if(controls_.begin(), controls_.end(),
                               [id](const Control& control) { return control.id == id; });
  return it == controls_.end() ? nullptr : &*it;
}

bool UvcControlStore::isInactive(const Control& control) const {
  const std::optional<std::uint32_t> ownerId = owningAutomaticControl(control.id);
  const Control* owner = ownerId ? find(*ownerId) : nullptr;
  if (owner == nullptr) {
    return false;
  }
  const std::int64_t manual = owner->id == V4L2_CID_EXPOSURE_AUTO ? V4L2_EXPOSURE_MANUAL : 0;
  return owner->current != manual;
}

bool UvcControlStore::accepts(const Control& control, std::int64_t value) const {
  if (value < control.minimum || value > control.maximum) {
    return false;
  }
  return control.type != Type::menu ||
         std::any_of(control.menu.begin(), control.menu.end(),
                     [value](const VideoMenuItem& item) { return item.value == value; });
}

std::optional<std::int64_t> UvcControlStore::fromUvc(const Control& control,
                                                     std::int64_t uvc) const {
  if (control.id != V4L2_CID_EXPOSURE_AUTO) {
    return uvc;
  }
  const auto bit = std::find(kExposureModeBits.begin(), kExposureModeBits.end(), uvc);
  if (bit == kExposureModeBits.end()) {
    return std::nullopt;
  }
  return bit - kExposureModeBits.begin();
}

std::int64_t UvcControlStore::toUvc(const Control& control, std::int64_t value) {
  if (control.id != V4L2_CID_EXPOSURE_AUTO) {
    return value;
  }
  return kExposureModeBits.at(static_cast<std::size_t>(value));
}

void UvcControlStore::assign(Control& control, std::int64_t value, Changes* changes) {
  if (control.current == value) {
    return;
  }
  std::vector<std::pair<Control*, bool>> owned;  // with whether each was inactive
  for (Control& other : controls_) {
    if (owningAutomaticControl(other.id) == control.id) {
      owned.emplace_back(&other, isInactive(other));
    }
  }
  control.current = value;
  if (changes == nullptr) {
    return;
  }
  changes->push_back({control.id, value, isInactive(control), false, true, false});
  for (const auto& [other, wasInactive] : owned) {
    if (isInactive(*other) != wasInactive) {
      changes->push_back({other->id, other->current, !wasInactive, false, false, true});
    }
  }
}

int UvcControlStore::handle(UVCControlRequest& request, Changes* changes) {
  request.wLenDone = 0;
  if ((request.wIndex & 0xFFU) != 0 || (request.wValue & 0xFFU) != 0) {
    return EPIPE;  // another interface, or a selector the camera does not have
  }
  Control* control = find(request.wIndex >> 8, request.wValue >> 8);
  if (control == nullptr) {
    return EPIPE;
  }
  if (request.wLength > 0 && request.pData == nullptr) {
    return EINVAL;
  }
  const auto size = static_cast<std::size_t>(control->info.size);
  const bool isModeBitmap = control->id == V4L2_CID_EXPOSURE_AUTO;
  if (request.bRequest == kUvcSetCur) {
    if (request.bmRequestType != kUvcRequestTypeSet || request.wLength != size) {
      return EPIPE;
    }
    const std::optional<std::int64_t> value =
        fromUvc(*control, readLittleEndian(request.pData, size));
    if (!value || !accepts(*control, *value)) {
      return ERANGE;
    }
    assign(*control, *value, changes);
    request.wLenDone = request.wLength;
    return 0;
  }
  if (request.bmRequestType != kUvcRequestTypeGet) {
    return EPIPE;
  }
  std::int64_t answer = 0;
  std::size_t length = size;
  switch (request.bRequest) {
    case kUvcGetCur:
      answer = toUvc(*control, control->current);
      break;
    case kUvcGetMin:
    case kUvcGetMax:
      if (isModeBitmap) {
        return EPIPE;  // the mode has no range, only the bitmap of supported modes
      }
      answer = request.bRequest == kUvcGetMin ? control->minimum : control->maximum;
      break;
    case kUvcGetRes:
      answer = control->step;
      if (isModeBitmap) {
        answer = 0;
        for (const VideoMenuItem& item : control->menu) answer |= toUvc(*control, item.value);
      }
      break;
    case kUvcGetDef:
      answer = toUvc(*control, control->defaultValue);
      break;
    case kUvcGetLen:
      answer = control->info.size;
      length = kLengthOfGetLen;
      break;
    case kUvcGetInfo:
      answer = kInfoGetAndSet | (isInactive(*control) ? kInfoDisabledByAutomaticMode : 0);
      length = 1;
      break;
    default:
      return EPIPE;
  }
  if (request.wLength != length) {
    return EPIPE;
  }
  writeLittleEndian(request.pData, length, answer);
  request.wLenDone = request.wLength;
  return 0;
}

std::vector<VideoControl> UvcControlStore::describe() const {
  std::vector<VideoControl> list;
  for (const Control& c : controls_) {
    list.push_back({c.id, c.name, videoControlKey(c.name), c.type, c.minimum, c.maximum, c.step,
                    c.defaultValue, c.current, false, isInactive(c), c.menu});
  }
  return list;
}

int UvcControlStore::get(std::uint32_t id, std::int64_t& value) const {
  const Control* control = find(id);
  if (control == nullptr) {
    return EINVAL;
  }
  value = control->current;
  return 0;
}

int UvcControlStore::set(std::uint32_t id, std::int64_t value, Changes* changes) {
  Control* control = find(id);
  if (control == nullptr) {
    return EINVAL;
  }
  if (!accepts(*control, value)) {
    return control->type == Type::menu ? EINVAL : ERANGE;
  }
  assign(*control, value, changes);
  return 0;
}

std::optional<std::int64_t> UvcControlStore::value(const UVCControlInfo& info) const {
  for (const Control& control : controls_) {
    if (control.info == info) {
      return toUvc(control, control.current);
    }
  }
  return std::nullopt;
}

UvcControlStore::Values UvcControlStore::values() const {
  Values values;
  for (const Control& control : controls_) {
    values[{control.info.unit, control.info.selector}] = toUvc(control, control.current);
  }
  return values;
}

void UvcControlStore::restore(const Values& values) {
  for (const auto& [key, value] : values) {
    Control* control = find(key.first, key.second);
    const std::optional<std::int64_t> v4l2 = control ? fromUvc(*control, value) : std::nullopt;
    if (v4l2) {
      control->current = std::clamp(*v4l2, control->minimum, control->maximum);
    }
  }
}

void UvcControlStore::resetToDefaults() {
  for (Control& control : controls_) {
    control.current = control.defaultValue;
  }
}

}  // namespace vexhal::sim
