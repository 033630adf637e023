#pragma once

#include <cstdint>

namespace vexhal::sim {

// Result codes the virtual camera answers with besides 0 (success).
inline constexpr std::uint32_t kResultUnknownCommand = 0x01;
inline constexpr std::uint32_t kResultInvalidValue = 0x02;
inline constexpr std::uint32_t kResultBadChecksum = 0x03;
inline constexpr std::uint32_t kResultOutOfOrder = 0x04;  // firmware step out of sequence
inline constexpr std::uint32_t kResultImageRejected = 0x05;
inline constexpr std::uint32_t kResultImageTooLarge = 0x06;

}  // namespace vexhal::sim
