#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QTransform>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "video/preview/FrameDecoder.h"
#include "video/preview/LogRateLimiter.h"
#include "video/preview/QRtcViewMode.h"
#include "video/VideoFrame.h"

class QPainter;

namespace vexhal::video {

// The drawing state both preview surfaces share. Frames are decoded on the thread that hands
// them in (the capture work queue); only the newest decoded picture is kept, and the GUI thread
// paints it. Neither side waits for the other beyond a pointer swap.
class VideoFramePresenter {
 public:
  using Clock = LogRateLimiter::Clock;

  explicit VideoFramePresenter(std::function<Clock::time_point()> clock = &Clock::now);

  // Any thread.
  void setVideoFrame(const std::shared_ptr<const VideoFrame>& frame);
  void setSize(QSizeF size);
  // Called (from the thread handing in frames) when a new picture waits to be painted; calls
  // are coalesced until the next paint. Set and cleared on the GUI thread.
  void setUpdateCallback(std::function<void()> callback);

  // GUI thread.
  void setContentMode(QRtcViewMode mode);
  void setContentTransform(const QTransform& transform);
  // The painted area in device pixels, so MJPEG can be decoded no larger than needed.
  void setArea(QSizeF devicePixels);
  void paint(QPainter& painter, const QRectF& area);

  // The picture that would be painted now, and the size it is scaled as.
  QImage latestImage() const;
  QSizeF contentSize() const;
  std::uint64_t skippedFrames() const { return skipped_.load(); }

 private:
  QSize decodeSizeFor(QSizeF frameSize) const;
  static void logSkippedFrame(const std::string& error, std::uint64_t suppressed);

  std::function<Clock::time_point()> clock_;
  std::mutex decodeMutex_;
  FrameDecoder decoder_;
  QImage spare_;
  LogRateLimiter skipLog_{std::chrono::seconds(5)};
  std::atomic<std::uint64_t> skipped_{0};

  mutable std::mutex mutex_;
  QImage latest_;
  QSizeF announcedSize_;
  QSizeF frameSize_;
  QSizeF area_;
  QRtcViewMode mode_ = QRtcViewMode::scaleAspectFill;
  QTransform transform_;
  std::function<void()> updateCallback_;
  std::atomic<bool> updatePending_{false};
};

}  // namespace vexhal::video
