#pragma once

#include <linux/videodev2.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "device/linux/V4l2Syscalls.h"
#include "device/uvc/UVCLog.h"
#include "device/uvc/VideoControlSet.h"

namespace vexhal {

// Every control of a camera's video node, as the driver lists them (VIDIOC_QUERYCTRL with
// V4L2_CTRL_FLAG_NEXT_CTRL, menus through VIDIOC_QUERYMENU). Controls the program cannot show
// (buttons, strings, 64-bit and compound values) and disabled ones are left out; controls the
// driver answers with an error are left out too. Each is logged once. Owns the node's
// descriptor and closes it when destroyed.
class V4l2VideoControlSet final : public VideoControlSet {
 public:
  V4l2VideoControlSet(int fd, std::shared_ptr<V4l2Syscalls> syscalls, UVCLog log);
  ~V4l2VideoControlSet() override;
  V4l2VideoControlSet(const V4l2VideoControlSet&) = delete;
  V4l2VideoControlSet& operator=(const V4l2VideoControlSet&) = delete;

  std::vector<VideoControl> enumerate() override;
  int get(std::uint32_t id, std::int64_t& value) override;
  // Refuses a control listed as read-only, or a value outside its listed range, without asking.
  int set(std::uint32_t id, std::int64_t value) override;

  // Bounds on what one listing asks: controls, and items of one menu.
  static constexpr int kMaxControls = 1024;
  static constexpr std::int64_t kMaxMenuItems = 256;

 private:
  struct Limits {
    bool readOnly = false;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
  };

  // After a listing step failed without naming its control: the next id after `last` that the
  // driver answers (filling `query`, `result` its status), found one id at a time; 0 if none.
  std::uint32_t probeAfter(std::uint32_t last, v4l2_queryctrl& query, int& result);
  // The control `query` describes, or nothing when it is left out.
  std::optional<VideoControl> describe(const v4l2_queryctrl& query);
  std::vector<VideoMenuItem> menuOf(const v4l2_queryctrl& query);
  // Logs why a control is left out, the first time only.
  void leaveOut(std::uint32_t id, const char* reason, int error);

  int fd_;
  std::shared_ptr<V4l2Syscalls> syscalls_;
  UVCLog log_;
  std::set<std::uint32_t> leftOut_;
  std::map<std::uint32_t, Limits> limits_;  // of the controls last listed
};

}  // namespace vexhal
