#include "video/preview/VideoFramePresenter.h"

#include <QPainter>
#include <cmath>
#include <ostrane/ostrane.h>

#include "video/preview/VideoGeometry.h"

namespace vexhal::video {

VideoFramePresenter::VideoFramePresenter(std::function<Clock::time_point()> clock)
    : clock_(std::move(clock)) {}

void VideoFramePresenter::setVideoFrame(const std::shared_ptr<const VideoFrame>& frame) {
  if (!frame) {
    const std::lock_guard lock(mutex_);
    latest_ = QImage();
    frameSize_ = QSizeF();
  } else {
    const std::lock_guard decodeLock(decodeMutex_);
    const VideoSample& sample = frame->buffer();
    const QSizeF frameSize(sample.width, sample.height);
    const std::string error = decoder_.decode(sample, spare_, decodeSizeFor(frameSize));
    if (!error.empty()) {
      ++skipped_;
      std::uint64_t suppressed = 0;
      if (skipLog_.allow(clock_(), suppressed)) {
        logSkippedFrame(error, suppressed);
      }
      return;
    }
    const std::lock_guard lock(mutex_);
    // The image painted last goes back to the decoder; if the GUI still holds it, the decoder's
    // next write detaches it instead of tearing the picture on screen.
    std::swap(latest_, spare_);
    frameSize_ = frameSize;
  }
  std::function<void()> callback;
  {
    const std::lock_guard lock(mutex_);
    callback = updateCallback_;
  }
  if (callback && !updatePending_.exchange(true)) callback();
}

void VideoFramePresenter::setSize(QSizeF size) {
  const std::lock_guard lock(mutex_);
  announcedSize_ = size;
}

void VideoFramePresenter::setUpdateCallback(std::function<void()> callback) {
  const std::lock_guard lock(mutex_);
  updateCallback_ = std::move(callback);
}

void VideoFramePresenter::setContentMode(QRtcViewMode mode) {
  const std::lock_guard lock(mutex_);
  mode_ = mode;
}

void VideoFramePresenter::setContentTransform(const QTransform& transform) {
  const std::lock_guard lock(mutex_);
  transform_ = transform;
}

void VideoFramePresenter::setArea(QSizeF devicePixels) {
  const std::lock_guard lock(mutex_);
  area_ = devicePixels;
}

QSize VideoFramePresenter::decodeSizeFor(QSizeF frameSize) const {
  const std::lock_guard lock(mutex_);
  const QSizeF content = announcedSize_.isEmpty() ? frameSize : announcedSize_;
  const QRectF target = targetRect(mode_, content, QRectF(QPointF(), area_));
  if (target.isEmpty() || content.isEmpty()) return {};
  // The target size in frame pixels (the announced size may differ from the frame's own).
  return {static_cast<int>(std::ceil(target.width() * frameSize.width() / content.width())),
          static_cast<int>(std::ceil(target.height() * frameSize.height() / content.height()))};
}

void VideoFramePresenter::paint(QPainter& painter, const QRectF& area) {
  updatePending_ = false;
  QImage image;
  QSizeF content;
  QRtcViewMode mode{};
  QTransform transform;
  {
    const std::lock_guard lock(mutex_);
    image = latest_;
    content = announcedSize_.isEmpty() ? frameSize_ : announcedSize_;
    mode = mode_;
    transform = transform_;
  }
  painter.fillRect(area, Qt::black);
  if (image.isNull()) return;
  painter.save();
  painter.setClipRect(area);
  painter.setTransform(aboutCentre(transform, area), true);
  painter.drawImage(targetRect(mode, content, area), image);
  painter.restore();
}

void VideoFramePresenter::logSkippedFrame(const std::string& error, std::uint64_t suppressed) {
  if (suppressed == 0) {
    ostrane::QLog("VideoRender, renderFrame, skipped", error);
  } else {
    ostrane::QLog("VideoRender, renderFrame, skipped", error, "(and", suppressed, "more)");
  }
}

QImage VideoFramePresenter::latestImage() const {
  const std::lock_guard lock(mutex_);
  return latest_;
}

QSizeF VideoFramePresenter::contentSize() const {
  const std::lock_guard lock(mutex_);
  return announcedSize_.isEmpty() ? frameSize_ : announcedSize_;
}

}  // namespace vexhal::video
