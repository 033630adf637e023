#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "PictureSettings.h"
#include "video/CaptureFormat.h"

namespace vexhal::sim {

// A loop of ready-made frames of one format (MJPEG encoded, or YUYV packed) for one set of
// picture settings. Playing it costs no encoding; it is made again when a setting changes.
class FrameLoop {
 public:
  using Frame = std::shared_ptr<const std::vector<std::uint8_t>>;

  // Frames in a loop (30 fps: two seconds of motion), fewer for raw formats so that one loop
  // stays within kMaxLoopBytes.
  static constexpr int kMaxFrames = 60;
  static constexpr std::size_t kMaxLoopBytes = std::size_t{32} << 20;
  static int frameCount(const video::CaptureFormat& format);

  // Makes the loop; null when `cancelled` says so between frames, or when the format cannot be
  // produced.
  static std::shared_ptr<const FrameLoop> build(const video::CaptureFormat& format,
                                                const PictureSettings& settings,
                                                std::uint64_t generation,
                                                const std::function<bool()>& cancelled = {});

  const std::vector<Frame>& frames() const { return frames_; }
  std::uint64_t generation() const { return generation_; }

 private:
  FrameLoop(std::vector<Frame> frames, std::uint64_t generation)
      : frames_(std::move(frames)), generation_(generation) {}

  std::vector<Frame> frames_;
  std::uint64_t generation_;
};

}  // namespace vexhal::sim
