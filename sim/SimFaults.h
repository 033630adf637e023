#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <set>

namespace vexhal::sim {

// Misbehaviour the virtual camera shows on demand. Faults stay until cleared.
struct SimFaults {
  std::map<std::uint16_t, std::uint32_t> errorCodes;  // command -> result code it answers with
  std::set<std::uint16_t> noReply;                    // commands left unanswered
  std::set<std::uint16_t> garbage;                    // commands answered with random bytes
  std::chrono::milliseconds replyDelay{0};            // every reply waits this long
  std::int64_t detachAfterPacket = 0;  // detach on receiving this firmware packet (0: never)
  bool neverReturn = false;            // a camera that detaches does not come back
  // The capture info says 3840 x 2160 is streaming, and starting a capture fails (EBUSY).
  bool otherProgramCaptures4K = false;

  bool any() const {
    return !errorCodes.empty() || !noReply.empty() || !garbage.empty() || replyDelay.count() > 0 ||
           detachAfterPacket > 0 || neverReturn || otherProgramCaptures4K;
  }
};

}  // namespace vexhal::sim
