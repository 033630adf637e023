#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PictureSettings.h"

namespace vexhal::sim {

// The pictures a gadget camera streams: the test rig serves `WxH.jpg` from its frames folder as
// every MJPEG frame of that size, so the virtual camera places its test picture there.
class RigFrames {
 public:
  // The first frame of the test picture at this size with these settings, JPEG encoded; empty
  // when it cannot be made (odd or non-positive size, encoder failure).
  static std::vector<std::uint8_t> encode(int width, int height, const PictureSettings& settings);

  // Writes the picture as `folder/WxH.jpg` (through a temporary file, so a stream starting
  // meanwhile never reads half a picture). Returns the bytes written, empty on failure.
  static std::vector<std::uint8_t> place(const std::string& folder, int width, int height,
                                         const PictureSettings& settings);
};

}  // namespace vexhal::sim
