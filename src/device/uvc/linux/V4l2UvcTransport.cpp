#include "device/uvc/linux/V4l2UvcTransport.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>

#include "device/uvc/UVCControlInfo.h"

namespace vexhal {
namespace {

// How a control's UVC bytes relate to its V4L2 value.
enum class ValueKind {
  kSigned,        // two's complement of the control's size
  kUnsigned,      // plain number
  kBoolean,       // 0 or 1
  kExposureMode,  // UVC bitmap 1, 2, 4, 8 against V4L2 menu index 1, 0, 2, 3
};

struct StandardControl {
  int unit;
  int selector;
  int size;
  std::uint32_t id;
  ValueKind kind;
};

// The camera-terminal and processing-unit controls uvcvideo offers as V4L2 controls.
constexpr std::array kStandardControls{
    StandardControl{kUvcCameraTerminal, UVC_CT_AE_MODE_CONTROL, 1, V4L2_CID_EXPOSURE_AUTO,
                    ValueKind::kExposureMode},
    StandardControl{kUvcCameraTerminal, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 4,
                    V4L2_CID_EXPOSURE_ABSOLUTE, ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_BACKLIGHT_COMPENSATION_CONTROL, 2,
                    V4L2_CID_BACKLIGHT_COMPENSATION, ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_BRIGHTNESS_CONTROL, 2, V4L2_CID_BRIGHTNESS,
                    ValueKind::kSigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_CONTRAST_CONTROL, 2, V4L2_CID_CONTRAST,
                    ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_GAIN_CONTROL, 2, V4L2_CID_GAIN,
                    ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_POWER_LINE_FREQUENCY_CONTROL, 1,
                    V4L2_CID_POWER_LINE_FREQUENCY, ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_HUE_CONTROL, 2, V4L2_CID_HUE, ValueKind::kSigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_SATURATION_CONTROL, 2, V4L2_CID_SATURATION,
                    ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_SHARPNESS_CONTROL, 2, V4L2_CID_SHARPNESS,
                    ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_GAMMA_CONTROL, 2, V4L2_CID_GAMMA,
                    ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_WHITE_BALANCE_TEMPERATURE_CONTROL, 2,
                    V4L2_CID_WHITE_BALANCE_TEMPERATURE, ValueKind::kUnsigned},
    StandardControl{kUvcProcessingUnit, UVC_PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, 1,
                    V4L2_CID_AUTO_WHITE_BALANCE, ValueKind::kBoolean},
};

constexpr std::array<std::int32_t, 4> kExposureModeBits{2, 1, 4, 8};  // by V4L2 menu index

const StandardControl* findStandardControl(int unit, int selector) {
  const auto it = std::find_if(
      kStandardControls.begin(), kStandardControls.end(),
      [&](const StandardControl& c) { return c.unit == unit && c.selector == selector; });
  return it == kStandardControls.end() ? nullptr : &*it;
}

bool isStandardUnit(int unit) { return unit == kUvcCameraTerminal || unit == kUvcProcessingUnit; }

std::uint64_t readLittleEndian(const std::uint8_t* data, int size) {
  std::uint64_t raw = 0;
  for (int i = 0; i < size; ++i) {
    raw |= static_cast<std::uint64_t>(data[i]) << (8 * i);
  }
  return raw;
}

void writeLittleEndian(std::uint64_t raw, std::uint8_t* data, int size) {
  for (int i = 0; i < size; ++i) {
    data[i] = static_cast<std::uint8_t>(raw >> (8 * i));
  }
}

// The V4L2 value for the control's UVC bytes, or nothing when V4L2 cannot express it.
std::optional<std::int32_t> toV4l2(const StandardControl& control, std::uint64_t raw) {
  switch (control.kind) {
    case ValueKind::kSigned: {
      const int bits = 8 * control.size;
      const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
      const auto value = static_cast<std::int64_t>((raw ^ sign) - sign);
      return static_cast<std::int32_t>(value);
    }
    case ValueKind::kUnsigned:
      if (raw > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
      }
      return static_cast<std::int32_t>(raw);
    case ValueKind::kBoolean:
      return raw != 0 ? 1 : 0;
    case ValueKind::kExposureMode: {
      const auto it = std::find(kExposureModeBits.begin(), kExposureModeBits.end(),
                                static_cast<std::int64_t>(raw));
      if (it == kExposureModeBits.end()) {
        return std::nullopt;
      }
      return static_cast<std::int32_t>(it - kExposureModeBits.begin());
    }
  }
  return std::nullopt;
}

// The control's UVC bytes for a V4L2 value, or nothing when UVC has no such value.
std::optional<std::uint64_t> toUvc(const StandardControl& control, std::int32_t value) {
  if (control.kind == ValueKind::kExposureMode) {
    if (value < 0 || static_cast<std::size_t>(value) >= kExposureModeBits.size()) {
      return std::nullopt;
    }
    return static_cast<std::uint64_t>(kExposureModeBits[static_cast<std::size_t>(value)]);
  }
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
}

}  // namespace

V4l2UvcTransport::V4l2UvcTransport(int fd, std::shared_ptr<V4l2Syscalls> syscalls)
    : fd_(fd), syscalls_(std::move(syscalls)) {}

V4l2UvcTransport::~V4l2UvcTransport() { syscalls_->close(fd_); }

int V4l2UvcTransport::controlRequest(UVCControlRequest& request) {
  request.wLenDone = 0;
  const bool isSet = request.bRequest == UVC_SET_CUR;
  const bool isGet = request.bRequest >= UVC_GET_CUR && request.bRequest <= UVC_GET_DEF;
  // Only class requests to interface 0 with the selector in the high byte reach a control.
  if (!(isSet && request.bmRequestType == kUvcRequestTypeSet) &&
      !(isGet && request.bmRequestType == kUvcRequestTypeGet)) {
    return EOPNOTSUPP;
  }
  if ((request.wIndex & 0xFF) != 0 || (request.wValue & 0xFF) != 0) {
    return EOPNOTSUPP;
  }
  if (request.wLength == 0 || request.pData == nullptr) {
    return EINVAL;
  }
  const int unit = request.wIndex >> 8;
  const int selector = request.wValue >> 8;
  const int status = isStandardUnit(unit) ? standardControl(request, unit, selector)
                                          : extensionUnitQuery(request, unit, selector);
  if (status == 0) {
    request.wLenDone = request.wLength;
  }
  return status;
}

int V4l2UvcTransport::standardControl(UVCControlRequest& request, int unit, int selector) {
  const StandardControl* control = findStandardControl(unit, selector);
  if (control == nullptr) {
    return EOPNOTSUPP;
  }
  const int expectedLength =
      request.bRequest == UVC_GET_LEN ? 2 : (request.bRequest == UVC_GET_INFO ? 1 : control->size);
  if (request.wLength != expectedLength) {
    return EINVAL;
  }

  if (request.bRequest == UVC_GET_LEN) {
    writeLittleEndian(static_cast<std::uint64_t>(control->size), request.pData, 2);
    return 0;
  }
  if (request.bRequest == UVC_SET_CUR) {
    const std::optional<std::int32_t> value =
        toV4l2(*control, readLittleEndian(request.pData, request.wLength));
    if (!value) {
      return ERANGE;
    }
    v4l2_control set{control->id, *value};
    return -std::min(syscalls_->ioctl(fd_, VIDIOC_S_CTRL, &set), 0);
  }
  if (request.bRequest == UVC_GET_CUR) {
    v4l2_control get{control->id, 0};
    if (const int result = syscalls_->ioctl(fd_, VIDIOC_G_CTRL, &get); result < 0) {
      return -result;
    }
    const std::optional<std::uint64_t> raw = toUvc(*control, get.value);
    if (!raw) {
      return ERANGE;
    }
    writeLittleEndian(*raw, request.pData, request.wLength);
    return 0;
  }

  // The limits, the step, the default and the capabilities come from the control's query.
  v4l2_queryctrl query{};
  query.id = control->id;
  if (const int result = syscalls_->ioctl(fd_, VIDIOC_QUERYCTRL, &query); result < 0) {
    return -result;
  }
  if ((query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) {
    return EOPNOTSUPP;
  }
  std::int32_t value = 0;
  switch (request.bRequest) {
    case UVC_GET_INFO: {
      // Bit 0: supports GET, bit 1: supports SET, bit 2: disabled by an automatic mode.
      std::uint64_t info = 0;
      info |= (query.flags & V4L2_CTRL_FLAG_WRITE_ONLY) == 0 ? 0x01 : 0;
      info |= (query.flags & V4L2_CTRL_FLAG_READ_ONLY) == 0 ? 0x02 : 0;
      info |= (query.flags & V4L2_CTRL_FLAG_INACTIVE) != 0 ? 0x04 : 0;
      writeLittleEndian(info, request.pData, 1);
      return 0;
    }
    case UVC_GET_DEF:
      value = query.default_value;
      break;
    case UVC_GET_MIN:
    case UVC_GET_MAX:
    case UVC_GET_RES:
      // A menu's index range says nothing about the bitmap the camera would report.
      if (control->kind == ValueKind::kExposureMode) {
        return EOPNOTSUPP;
      }
      value = request.bRequest == UVC_GET_MIN   ? query.minimum
              : request.bRequest == UVC_GET_MAX ? query.maximum
                                                : query.step;
      break;
    default:
      return EOPNOTSUPP;
  }
  const std::optional<std::uint64_t> raw = toUvc(*control, value);
  if (!raw) {
    return ERANGE;
  }
  writeLittleEndian(*raw, request.pData, request.wLength);
  return 0;
}

int V4l2UvcTransport::extensionUnitQuery(UVCControlRequest& request, int unit, int selector) {
  uvc_xu_control_query query{};
  query.unit = static_cast<std::uint8_t>(unit);
  query.selector = static_cast<std::uint8_t>(selector);
  query.query = request.bRequest;
  query.size = request.wLength;
  query.data = request.pData;
  return -std::min(syscalls_->ioctl(fd_, UVCIOC_CTRL_QUERY, &query), 0);
}

}  // namespace vexhal
