#pragma once

#include <QMetaObject>
#include <QWidget>

#include "video/preview/VideoFramePresenter.h"
#include "video/preview/VideoSurface.h"

namespace vexhal::video {

// The part of a surface that is the same for every widget base: frames and settings go to the
// presenter, and a new picture schedules a repaint on the GUI thread.
template <typename WidgetBase>
class PresentingSurface : public WidgetBase, public VideoSurface {
 public:
  explicit PresentingSurface(QWidget* parent) : WidgetBase(parent) {
    presenter_.setUpdateCallback([this] {
      QMetaObject::invokeMethod(
          this, [this] { this->update(); }, Qt::QueuedConnection);
    });
  }
  ~PresentingSurface() override { presenter_.setUpdateCallback({}); }

  QWidget* widget() override { return this; }
  void setVideoFrame(std::shared_ptr<const VideoFrame> frame) override {
    presenter_.setVideoFrame(frame);
  }
  void setSize(QSizeF size) override { presenter_.setSize(size); }
  void setContentMode(QRtcViewMode mode) override {
    presenter_.setContentMode(mode);
    this->update();
  }
  void setContentTransform(const QTransform& transform) override {
    presenter_.setContentTransform(transform);
    this->update();
  }

  const VideoFramePresenter& presenter() const { return presenter_; }

 protected:
  VideoFramePresenter presenter_;
};

}  // namespace vexhal::video
