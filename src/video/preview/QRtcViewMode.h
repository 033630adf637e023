#pragma once

namespace vexhal::video {

// How a picture is scaled into its area: fill it (cropping the overflow), fit inside it
// (letter-boxed), or stretch to it.
enum class QRtcViewMode { scaleAspectFill, scaleAspectFit, scaleToFill };

}  // namespace vexhal::video
