#pragma once

#include <libyuv/convert_from_argb.h>
#include <turbojpeg.h>

#include <QColor>
#include <QImage>
#include <QPainter>

#include "video/PixelFormat.h"
#include "video/VideoSample.h"

// Pictures of four flat quadrants (red, green, blue, white; 0 top left, 1 top right, 2 bottom
// left, 3 bottom right), so scaling, cropping and mirroring show in a few pixels, as the frames
// a camera sends.
namespace vexhal::video::testing {

inline QColor quadrantColor(int quadrant) {
  static const QColor colors[] = {QColor(220, 30, 30), QColor(30, 200, 40), QColor(40, 50, 210),
                                  QColor(235, 235, 235)};
  return colors[quadrant];
}

inline bool near(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

inline QImage quadrantPicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  QPainter painter(&picture);
  const int halfW = width / 2;
  const int halfH = height / 2;
  painter.fillRect(0, 0, halfW, halfH, quadrantColor(0));
  painter.fillRect(halfW, 0, width - halfW, halfH, quadrantColor(1));
  painter.fillRect(0, halfH, halfW, height - halfH, quadrantColor(2));
  painter.fillRect(halfW, halfH, width - halfW, height - halfH, quadrantColor(3));
  return picture;
}

inline VideoSample sampleOf(std::vector<std::uint8_t> bytes, std::uint32_t pixelFormat,
                            const QImage& picture) {
  VideoSample sample;
  sample.payload = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  sample.pixelFormat = pixelFormat;
  sample.width = picture.width();
  sample.height = picture.height();
  return sample;
}

inline VideoSample mjpegSample(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int result =
      tjCompress2(handle, rgb.constBits(), rgb.width(), static_cast<int>(rgb.bytesPerLine()),
                  rgb.height(), TJPF_BGRX, &jpeg, &size, TJSAMP_422, 90, 0);
  std::vector<std::uint8_t> bytes;
  if (result == 0) bytes.assign(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(handle);
  return sampleOf(std::move(bytes), kFourccMjpeg, picture);
}

inline VideoSample yuyvSample(const QImage& picture) {
  const int stride = (picture.width() + 1) / 2 * 4;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stride) * picture.height());
  libyuv::ARGBToYUY2(picture.constBits(), static_cast<int>(picture.bytesPerLine()), bytes.data(),
                     stride, picture.width(), picture.height());
  return sampleOf(std::move(bytes), kFourccYuyv, picture);
}

inline VideoSample nv12Sample(const QImage& picture) {
  const int width = picture.width();
  const int height = picture.height();
  const int chromaStride = (width + 1) / 2 * 2;
  const std::size_t luma = static_cast<std::size_t>(width) * height;
  std::vector<std::uint8_t> bytes(luma +
                                  static_cast<std::size_t>(chromaStride) * ((height + 1) / 2));
  libyuv::ARGBToNV12(picture.constBits(), static_cast<int>(picture.bytesPerLine()), bytes.data(),
                     width, bytes.data() + luma, chromaStride, width, height);
  return sampleOf(std::move(bytes), kFourccNv12, picture);
}

}  // namespace vexhal::video::testing
