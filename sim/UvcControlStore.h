#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "device/uvc/UVCControlInfo.h"
#include "device/uvc/UVCControlRequest.h"
#include "device/uvc/VideoControl.h"
#include "device/uvc/VideoControlWatch.h"

namespace vexhal::sim {

// The camera's standard UVC controls (camera terminal and processing unit) with their ranges
// and current values, described as the uvcvideo driver shows them on the video node. It
// answers request records as the camera's video-control interface does (SET_CUR and
// GET_CUR/MIN/MAX/RES/DEF/LEN/INFO) and control requests as the node does; both reach the same
// values. A manual control is inactive while its automatic partner is on. Runs on the main
// thread.
class UvcControlStore {
 public:
  // Another range for one control (by V4L2 id), so that virtual cameras can differ.
  struct Range {
    std::uint32_t id = 0;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::int64_t defaultValue = 0;
  };
  using Values = std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t>;
  // What a change did: the control's new value, and the flags of the controls it owns.
  using Changes = std::vector<VideoControlEvent>;

  explicit UvcControlStore(const std::vector<Range>& ranges = {});

  // Answers one request. Returns 0, or the errno value a control transfer fails with: EPIPE
  // for a request the camera stalls (unknown control, wrong direction or length), ERANGE for a
  // value outside the control's range, EINVAL for a record without value bytes.
  int handle(UVCControlRequest& request, Changes* changes = nullptr);

  // The controls in the driver's order (by id), with their values and flags.
  std::vector<VideoControl> describe() const;
  // 0, or EINVAL for a control the camera does not have.
  int get(std::uint32_t id, std::int64_t& value) const;
  // 0, or EINVAL (no such control, or a menu item it does not offer) or ERANGE.
  int set(std::uint32_t id, std::int64_t value, Changes* changes = nullptr);

  // The UVC value of a control (the mode bitmap for automatic exposure).
  std::optional<std::int64_t> value(const UVCControlInfo& control) const;
  Values values() const;
  void restore(const Values& values);
  void resetToDefaults();

 private:
  struct Control {
    UVCControlInfo info;
    std::uint32_t id = 0;  // V4L2
    const char* name = "";
    VideoControl::Type type = VideoControl::Type::integer;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::int64_t step = 1;
    std::int64_t defaultValue = 0;
    std::int64_t current = 0;  // as V4L2 has it
    std::vector<VideoMenuItem> menu;
  };

  Control* find(std::int32_t unit, std::int32_t selector);
  const Control* find(std::uint32_t id) const;
  Control* find(std::uint32_t id) { return const_cast<Control*>(std::as_const(*this).find(id)); }
  bool isInactive(const Control& control) const;
  bool accepts(const Control& control, std::int64_t value) const;
  std::optional<std::int64_t> fromUvc(const Control& control, std::int64_t uvc) const;
  static std::int64_t toUvc(const Control& control, std::int64_t value);
  void assign(Control& control, std::int64_t value, Changes* changes);

  std::vector<Control> controls_;
};

// Reads `length` little-endian bytes, and writes `value`'s low `length` bytes, lowest first.
std::int64_t readLittleEndian(const std::uint8_t* bytes, std::size_t length);
void writeLittleEndian(std::uint8_t* bytes, std::size_t length, std::int64_t value);

}  // namespace vexhal::sim
