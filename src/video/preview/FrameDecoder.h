#pragma once

#include <QImage>
#include <QSize>
#include <string>

#include "video/VideoSample.h"

namespace vexhal::video {

// Turns a captured sample into a drawable 32-bit RGB image: MJPEG through libjpeg-turbo, YUYV
// and NV12 through libyuv. Not thread-safe; one decoder per consumer thread.
class FrameDecoder {
 public:
  // Pictures larger than this on either side are refused (a corrupt header can claim anything).
  static constexpr int kMaxSide = 8192;

  FrameDecoder();
  ~FrameDecoder();
  FrameDecoder(const FrameDecoder&) = delete;
  FrameDecoder& operator=(const FrameDecoder&) = delete;

  // Decodes into `image` (QImage::Format_RGB32), reusing its memory when the size is unchanged.
  // MJPEG must have the sample's (the stream's) size, and at most 500 progressive scans.
  // With a `wanted` size, MJPEG is decoded at the smallest libjpeg-turbo scale that still
  // covers it. Returns an empty text on success, otherwise why the sample was refused; `image`
  // is then unspecified.
  std::string decode(const VideoSample& sample, QImage& image, QSize wanted = {});

 private:
  std::string decodeMjpeg(const VideoSample& sample, QImage& image, QSize wanted);
  void* handle_ = nullptr;
};

}  // namespace vexhal::video
