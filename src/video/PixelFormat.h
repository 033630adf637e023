#pragma once

#include <cstdint>
#include <string>

namespace vexhal::video {

// Pixel formats are four-character codes, packed the way V4L2 packs them (first letter lowest).
constexpr std::uint32_t makeFourcc(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24);
}

inline constexpr std::uint32_t kFourccMjpeg = makeFourcc('M', 'J', 'P', 'G');
inline constexpr std::uint32_t kFourccYuyv = makeFourcc('Y', 'U', 'Y', 'V');
inline constexpr std::uint32_t kFourccNv12 = makeFourcc('N', 'V', '1', '2');

// "MJPG", with unprintable bytes shown as '?'.
inline std::string fourccText(std::uint32_t fourcc) {
  std::string text(4, '?');
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<char>((fourcc >> (8 * i)) & 0xffU);
    if (c >= 0x20 && c < 0x7f) text[static_cast<std::size_t>(i)] = c;
  }
  return text;
}

}  // namespace vexhal::video
