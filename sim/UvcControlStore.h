#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "device/uvc/UVCControlInfo.h"
#include "device/uvc/UVCControlRequest.h"

namespace vexhal::sim {

// The camera's standard UVC controls (camera terminal and processing unit) with their ranges
// and current values. It answers request records as the camera's video-control interface does:
// SET_CUR and GET_CUR/MIN/MAX/RES/DEF/LEN/INFO. Runs on the main thread.
class UvcControlStore {
 public:
  struct Control {
    UVCControlInfo info;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::int64_t resolution = 1;
    std::int64_t defaultValue = 0;
    std::int64_t current = 0;
  };
  using Values = std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t>;

  UvcControlStore();

  // Answers one request. Returns 0, or the errno value a control transfer fails with: EPIPE
  // for a request the camera stalls (unknown control, wrong direction or length), ERANGE for a
  // value outside the control's range, EINVAL for a record without value bytes.
  int handle(UVCControlRequest& request);

  std::optional<std::int64_t> value(const UVCControlInfo& control) const;
  Values values() const;
  void restore(const Values& values);
  void resetToDefaults();

 private:
  Control* find(std::int32_t unit, std::int32_t selector);
  std::vector<Control> controls_;
};

// Reads `length` little-endian bytes, and writes `value`'s low `length` bytes, lowest first.
std::int64_t readLittleEndian(const std::uint8_t* bytes, std::size_t length);
void writeLittleEndian(std::uint8_t* bytes, std::size_t length, std::int64_t value);

}  // namespace vexhal::sim
