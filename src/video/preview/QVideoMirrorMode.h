#pragma once

namespace vexhal::video {

// Whether the preview is flipped left to right. `auto_` (the keyword cannot be a name) mirrors
// like `enabled`.
enum class QVideoMirrorMode { auto_, enabled, disabled };

}  // namespace vexhal::video
