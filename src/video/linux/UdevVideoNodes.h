#pragma once

#include <vector>

#include "video/linux/VideoNode.h"

namespace vexhal::video {

// Every video4linux node udev knows, in udev's order, minus those udev marks as not capturing.
std::vector<VideoNode> listUdevVideoNodes();

}  // namespace vexhal::video
