#pragma once

#include <cstdint>
#include <vector>

#include "PictureSettings.h"

namespace vexhal::sim {

// A picture in planar YUV 4:2:0 (full-range BT.601, as JPEG stores it); width and height even.
struct YuvPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> y;
  std::vector<std::uint8_t> u;
  std::vector<std::uint8_t> v;

  void resize(int w, int h);
};

// The virtual camera's test picture: colour bars over a grey ramp with a figure that moves
// across the room once per loop, seen through the camera's field of view (120 degrees shows the
// whole scene, 90 and 60 a narrower middle part), mirrored on request, with the tracked box
// around the figure while framing is on, the image controls applied, and the frame's number
// (its place in the loop of ready-made frames) in the top right corner.
class TestPattern {
 public:
  TestPattern(int width, int height, int loopLength);

  void render(const PictureSettings& settings, int frameIndex, YuvPicture& picture) const;

  // Where the figure stands in frame `frameIndex`, in scene coordinates (0 to 1 across the
  // 120-degree view): left, top, right, bottom.
  struct Box {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
  };
  Box figure(int frameIndex) const;
  // The share of the 120-degree scene that `angle` degrees show across (1 for 120).
  static double visibleShare(int angle);

 private:
  void drawScene(const PictureSettings& settings, int frameIndex, YuvPicture& picture) const;
  void drawTrackedBox(const PictureSettings& settings, int frameIndex, YuvPicture& picture) const;
  static void adjust(const PictureSettings& settings, YuvPicture& picture);
  static void sharpen(int sharpness, YuvPicture& picture);
  void drawCounter(int frameIndex, YuvPicture& picture) const;

  int width_;
  int height_;
  int loopLength_;
};

}  // namespace vexhal::sim
