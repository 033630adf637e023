#include "UvcControlStore.h"

#include <algorithm>
#include <cerrno>

namespace vexhal::sim {

namespace {

constexpr std::uint8_t kInfoGetAndSet = 0x03;
constexpr std::size_t kLengthOfGetLen = 2;

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

UvcControlStore::UvcControlStore()
    : controls_{
          {kUvcBrightness, 0, 255, 1, 128, 128},
          {kUvcContrast, 0, 255, 1, 128, 128},
          {kUvcSaturation, 0, 255, 1, 128, 128},
          {kUvcSharpness, 0, 255, 1, 128, 128},
          {kUvcGain, 0, 100, 1, 0, 0},
          {kUvcWhiteBalanceTemperature, 2800, 6500, 10, 4600, 4600},
          {kUvcAutoWhiteBalance, 0, 1, 1, 1, 1},
          // Manual (1) and automatic (2); resolution is the bitmap of supported modes.
          {kUvcAutoExposureMode, 1, 2, 3, 2, 2},
          {kUvcExposureTime, 1, 10000, 1, 156, 156},
      } {}

UvcControlStore::Control* UvcControlStore::find(std::int32_t unit, std::int32_t selector) {
  const auto it = std::find_if(controls_.begin(), controls_.end(), [&](const Control& control) {
    return control.info.unit == unit && control.info.selector == selector;
  });
  return it == controls_.end() ? nullptr : &*it;
}

int UvcControlStore::handle(UVCControlRequest& request) {
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
  if (request.bRequest == kUvcSetCur) {
    if (request.bmRequestType != kUvcRequestTypeSet || request.wLength != size) {
      return EPIPE;
    }
    const std::int64_t value = readLittleEndian(request.pData, size);
    if (value < control->minimum || value > control->maximum) {
      return ERANGE;
    }
    control->current = value;
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
      answer = control->current;
      break;
    case kUvcGetMin:
      answer = control->minimum;
      break;
    case kUvcGetMax:
      answer = control->maximum;
      break;
    case kUvcGetRes:
      answer = control->resolution;
      break;
    case kUvcGetDef:
      answer = control->defaultValue;
      break;
    case kUvcGetLen:
      answer = control->info.size;
      length = kLengthOfGetLen;
      break;
    case kUvcGetInfo:
      answer = kInfoGetAndSet;
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

std::optional<std::int64_t> UvcControlStore::value(const UVCControlInfo& info) const {
  for (const Control& control : controls_) {
    if (control.info == info) {
      return control.current;
    }
  }
  return std::nullopt;
}

UvcControlStore::Values UvcControlStore::values() const {
  Values values;
  for (const Control& control : controls_) {
    values[{control.info.unit, control.info.selector}] = control.current;
  }
  return values;
}

void UvcControlStore::restore(const Values& values) {
  for (const auto& [key, value] : values) {
    if (Control* control = find(key.first, key.second)) {
      control->current = std::clamp(value, control->minimum, control->maximum);
    }
  }
}

void UvcControlStore::resetToDefaults() {
  for (Control& control : controls_) {
    control.current = control.defaultValue;
  }
}

}  // namespace vexhal::sim
