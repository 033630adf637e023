#pragma once

#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "device/uvc/linux/V4l2Syscalls.h"

namespace vexhal::testing {

// Stands in for the kernel: video nodes that open to fixed descriptors, V4L2 controls held in
// a table, extension-unit queries recorded and answered, and failures injected per request.
class FakeV4l2Syscalls final : public V4l2Syscalls {
 public:
  struct Control {
    std::int32_t value = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 1;
    std::int32_t defaultValue = 0;
    std::uint32_t flags = 0;
  };

  std::map<std::uint32_t, Control> controls;
  std::map<std::string, int> nodes;         // path: descriptor, or a negated errno
  std::map<int, std::uint32_t> deviceCaps;  // descriptor: device_caps
  std::map<unsigned long, int> failures;    // request: errno it fails with
  bool reportDeviceCaps = true;             // whether V4L2_CAP_DEVICE_CAPS is set

  std::vector<std::string> opened;
  std::vector<int> closed;
  std::vector<unsigned long> calls;
  uvc_xu_control_query lastQuery{};
  std::vector<std::uint8_t> querySent;    // value bytes of the last extension-unit SET
  std::vector<std::uint8_t> queryAnswer;  // value bytes an extension-unit GET receives

  int open(const char* path, int /*flags*/) override {
    opened.emplace_back(path);
    const auto it = nodes.find(path);
    return it == nodes.end() ? -ENOENT : it->second;
  }

  int close(int fd) override {
    closed.push_back(fd);
    return 0;
  }

  int ioctl(int fd, unsigned long request, void* argument) override {
    calls.push_back(request);
    if (const auto it = failures.find(request); it != failures.end()) {
      return -it->second;
    }
    switch (request) {
      case VIDIOC_QUERYCAP: {
        auto* caps = static_cast<v4l2_capability*>(argument);
        const std::uint32_t device = deviceCaps.count(fd) != 0 ? deviceCaps[fd] : 0;
        caps->device_caps = reportDeviceCaps ? device : 0;
        caps->capabilities =
            reportDeviceCaps
                ? (V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE)
                : device;
        return 0;
      }
      case VIDIOC_S_CTRL:
      case VIDIOC_G_CTRL: {
        auto* control = static_cast<v4l2_control*>(argument);
        const auto it = controls.find(control->id);
        if (it == controls.end()) {
          return -EINVAL;
        }
        if (request == VIDIOC_S_CTRL) {
          it->second.value = control->value;
        } else {
          control->value = it->second.value;
        }
        return 0;
      }
      case VIDIOC_QUERYCTRL: {
        auto* query = static_cast<v4l2_queryctrl*>(argument);
        const auto it = controls.find(query->id);
        if (it == controls.end()) {
          return -EINVAL;
        }
        query->minimum = it->second.minimum;
        query->maximum = it->second.maximum;
        query->step = it->second.step;
        query->default_value = it->second.defaultValue;
        query->flags = it->second.flags;
        return 0;
      }
      case UVCIOC_CTRL_QUERY: {
        lastQuery = *static_cast<uvc_xu_control_query*>(argument);
        if ((lastQuery.query & 0x80) != 0) {
          std::memcpy(lastQuery.data, queryAnswer.data(),
                      std::min<std::size_t>(queryAnswer.size(), lastQuery.size));
        } else {
          querySent.assign(lastQuery.data, lastQuery.data + lastQuery.size);
        }
        return 0;
      }
      default:
        return -ENOTTY;
    }
  }
};

}  // namespace vexhal::testing
