#pragma once

#include <QColor>
#include <QImage>

#include "video/VideoSample.h"

namespace vexhal::video::testing {

// A picture of four flat quadrants (red, green, blue, white), so scaling, cropping and
// mirroring show in a few pixels.
QImage quadrantPicture(int width, int height);
QColor quadrantColor(int quadrant);  // 0 top left, 1 top right, 2 bottom left, 3 bottom right
// Each channel within `tolerance`.
bool near(const QColor& a, const QColor& b, int tolerance);

VideoSample mjpegSample(const QImage& picture);
VideoSample yuyvSample(const QImage& picture);
VideoSample nv12Sample(const QImage& picture);

}  // namespace vexhal::video::testing
