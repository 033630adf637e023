#include "device/uvc/linux/V4l2VideoControlSet.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace vexhal {
namespace {

// Where controls live, for finding a control the listing could not name: the standard user
// controls, drivers' own user controls, the camera class and the old private range.
constexpr std::array<std::pair<std::uint32_t, std::uint32_t>, 4> kIdRanges{{
    {V4L2_CID_BASE, V4L2_CID_LASTP1},
    {V4L2_CID_USER_BASE + 0x1000, V4L2_CID_USER_BASE + 0x1400},
    {V4L2_CID_CAMERA_CLASS_BASE, V4L2_CID_CAMERA_CLASS_BASE + 0x100},
    {V4L2_CID_PRIVATE_BASE, V4L2_CID_PRIVATE_BASE + 0x100},
}};

std::string textOf(const std::uint8_t* bytes, std::size_t size) {
  const auto* text = reinterpret_cast<const char*>(bytes);
  return std::string(text, strnlen(text, size));
}

}  // namespace

V4l2VideoControlSet::V4l2VideoControlSet(int fd, std::shared_ptr<V4l2Syscalls> syscalls, UVCLog log)
    : fd_(fd), syscalls_(std::move(syscalls)), log_(std::move(log)) {}

V4l2VideoControlSet::~V4l2VideoControlSet() { syscalls_->close(fd_); }

std::vector<VideoControl> V4l2VideoControlSet::enumerate() {
  std::vector<VideoControl> list;
  limits_.clear();
  std::uint32_t last = 0;
  for (int step = 0; step < kMaxControls; ++step) {
    v4l2_queryctrl query{};
    query.id = last | V4L2_CTRL_FLAG_NEXT_CTRL;
    int result = syscalls_->ioctl(fd_, VIDIOC_QUERYCTRL, &query);
    if (result == -EINVAL) {
      break;  // no further control
    }
    if (result < 0 && result != -ENODEV) {
      // The failing control is the one after `last`, but the answer does not say which.
      query.id = probeAfter(last, query, result);
      if (query.id == 0) {
        break;
      }
    }
    if (result == -ENODEV) {
      log_.error("CameraControl Error: Listing controls ended after %08x (%08x)", last,
                 static_cast<unsigned>(ENODEV));
      break;
    }
    if (query.id <= last) {
      break;  // a driver that does not move on would keep us here
    }
    last = query.id;
    if (result < 0) {
      leaveOut(query.id, "cannot be described", -result);
    } else if (auto control = describe(query)) {
      limits_[control->id] = {control->readOnly, control->minimum, control->maximum};
      list.push_back(std::move(*control));
    }
  }
  return list;
}

std::uint32_t V4l2VideoControlSet::probeAfter(std::uint32_t last, v4l2_queryctrl& query,
                                              int& result) {
  for (const auto& [first, end] : kIdRanges) {
    for (std::uint32_t id = std::max(first, last + 1); id < end; ++id) {
      query = {};
      query.id = id;
      result = syscalls_->ioctl(fd_, VIDIOC_QUERYCTRL, &query);
      if (result != -EINVAL) {
        return id;
      }
    }
  }
  log_.error("CameraControl Error: Listing controls ended after %08x", last);
  return 0;
}

std::optional<VideoControl> V4l2VideoControlSet::describe(const v4l2_queryctrl& query) {
  VideoControl control;
  switch (query.type) {
    case V4L2_CTRL_TYPE_CTRL_CLASS:
      return std::nullopt;  // a heading, not a control
    case V4L2_CTRL_TYPE_INTEGER:
      control.type = VideoControl::Type::integer;
      break;
    case V4L2_CTRL_TYPE_BOOLEAN:
      control.type = VideoControl::Type::boolean;
      break;
    case V4L2_CTRL_TYPE_MENU:
      control.type = VideoControl::Type::menu;
      break;
    case V4L2_CTRL_TYPE_INTEGER_MENU:
      control.type = VideoControl::Type::integerMenu;
      break;
    default:
      leaveOut(query.id, "is of a type that cannot be shown", 0);
      return std::nullopt;
  }
  if ((query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) {
    leaveOut(query.id, "is disabled", 0);
    return std::nullopt;
  }
  control.id = query.id;
  control.name = textOf(query.name, sizeof query.name);
  control.key = videoControlKey(control.name);
  control.minimum = query.minimum;
  control.maximum = query.maximum;
  control.step = query.step;
  control.defaultValue = query.default_value;
  control.value = query.default_value;
  control.readOnly = (query.flags & V4L2_CTRL_FLAG_READ_ONLY) != 0;
  control.inactive = (query.flags & V4L2_CTRL_FLAG_INACTIVE) != 0;
  if (control.type == VideoControl::Type::menu || control.type == VideoControl::Type::integerMenu) {
    control.menu = menuOf(query);
  }
  if ((query.flags & V4L2_CTRL_FLAG_WRITE_ONLY) == 0) {
    if (const int error = get(control.id, control.value); error != 0) {
      leaveOut(control.id, "cannot be read", error);
      return std::nullopt;
    }
  }
  return control;
}

std::vector<VideoMenuItem> V4l2VideoControlSet::menuOf(const v4l2_queryctrl& query) {
  std::vector<VideoMenuItem> items;
  const std::int64_t last =
      std::min<std::int64_t>(query.maximum, std::int64_t{query.minimum} + kMaxMenuItems - 1);
  for (std::int64_t index = std::max(query.minimum, 0); index <= last; ++index) {
    v4l2_querymenu item{};
    item.id = query.id;
    item.index = static_cast<std::uint32_t>(index);
    // Menus may be sparse: the driver refuses the indices it does not offer.
    if (syscalls_->ioctl(fd_, VIDIOC_QUERYMENU, &item) < 0) {
      continue;
    }
    items.push_back({index, query.type == V4L2_CTRL_TYPE_INTEGER_MENU
                                ? std::to_string(item.value)
                                : textOf(item.name, sizeof item.name)});
  }
  return items;
}

void V4l2VideoControlSet::leaveOut(std::uint32_t id, const char* reason, int error) {
  if (!leftOut_.insert(id).second) {
    return;
  }
  if (error != 0) {
    log_.error("CameraControl Error: Control %08x %s (%08x)", id, reason,
               static_cast<unsigned>(error));
  } else {
    log_.error("CameraControl: Control %08x %s", id, reason);
  }
}

int V4l2VideoControlSet::get(std::uint32_t id, std::int64_t& value) {
  v4l2_control control{id, 0};
  if (const int result = syscalls_->ioctl(fd_, VIDIOC_G_CTRL, &control); result < 0) {
    return -result;
  }
  value = control.value;
  return 0;
}

int V4l2VideoControlSet::set(std::uint32_t id, std::int64_t value) {
  if (const auto it = limits_.find(id); it != limits_.end()) {
    if (it->second.readOnly) {
      return EACCES;
    }
    if (value < it->second.minimum || value > it->second.maximum) {
      return ERANGE;
    }
  }
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return ERANGE;
  }
  v4l2_control control{id, static_cast<std::int32_t>(value)};
  return -std::min(syscalls_->ioctl(fd_, VIDIOC_S_CTRL, &control), 0);
}

}  // namespace vexhal
