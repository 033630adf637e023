#include "section/camera_control/PreviewSession.h"

#include <QCoreApplication>
#include <QPointer>

#include <cerrno>

#include <ostrane/ostrane.h>

#include "platform/CameraDoctor.h"
#include "section/camera_control/CaptureDeviceSearch.h"
#include "section/camera_control/PreviewFrameSink.h"
#include "video/QCameraVideoCapturer.h"

namespace vexhal {

PreviewSession::PreviewSession(std::shared_ptr<video::CaptureBackend> backend,
                               std::int64_t locationId, HolderFinder holderOf, QObject* parent)
    : QObject(parent),
      locationId_(locationId),
      holderOf_(std::move(holderOf)),
      frameSink_(std::make_shared<PreviewFrameSink>([self = QPointer(this)] {
        // The capture thread only posts; the session, if it still exists, looks again.
        QMetaObject::invokeMethod(
            qApp,
            [self] {
              if (self) self->captureStopped();
            },
            Qt::QueuedConnection);
      })),
      capturer_(video::QCameraVideoCapturer::create(frameSink_, false, backend)),
      search_(new CaptureDeviceSearch(backend, this)) {
  retryTimer_.setSingleShot(true);
  retryTimer_.setInterval(kRetryInterval);
  connect(&retryTimer_, &QTimer::timeout, this, &PreviewSession::retryDue);
}

PreviewSession::~PreviewSession() {
  retryTimer_.stop();
  frameSink_->setRender(nullptr);
  if (capturer_->isCameraing()) {
    capturer_->stopCapture();
    capturer_->setCameraing(false);
  }
}

bool PreviewSession::isCapturing() const { return capturer_->isCameraing(); }

std::uint64_t PreviewSession::framesRendered() const { return frameSink_->framesRendered(); }

void PreviewSession::start(std::shared_ptr<video::FrameTarget> render) {
  wantsCapture_ = true;
  frameSink_->setRender(std::move(render));
  const std::uint64_t generation = ++searchGeneration_;
  search_->find(locationId_, [self = QPointer(this), generation](const auto& found) {
    // An answer to a search that a stop or a newer start overtook is stale.
    if (self && generation == self->searchGeneration_ && self->wantsCapture_) {
      self->deviceFound(found);
    }
  });
}

void PreviewSession::deviceFound(const std::optional<video::CaptureDevice>& device) {
  retryTimer_.stop();
  if (!device) {
    Q_EMIT noticeChanged(QString());
    retryTimer_.start();
    return;
  }
  // The outcome comes on the capture thread, where the holder of a busy camera is looked for;
  // the session, if it still exists, takes both here.
  capturer_->startCapture(device, [self = QPointer(this), holderOf = holderOf_,
                                   path = QString::fromStdString(device->path)](const auto& error) {
    std::optional<NodeHolder> holder;
    if (error && error->code == EBUSY && holderOf) {
      holder = holderOf(path);
    }
    QMetaObject::invokeMethod(
        qApp,
        [self, error, holder] {
          if (self) self->captureStarted(error, holder);
        },
        Qt::QueuedConnection);
  });
  Q_EMIT captureStarting();
}

void PreviewSession::captureStarted(const std::optional<video::CaptureError>& error,
                                    const std::optional<NodeHolder>& holder) {
  if (!error) {
    Q_EMIT noticeChanged(QString());
    return;
  }
  QLog("CameraControl, startCapture(_:), failed", error->message);
  // A busy camera is explained, naming its holder, since the user can free it; other failures
  // are only retried.
  QString notice;
  if (error->code == EBUSY) {
    notice = holder ? CameraDoctor::inUseText(*holder)
                    : QStringLiteral("The camera is in use by another program.");
  }
  Q_EMIT noticeChanged(notice);
  captureStopped();
}

// The capture ended, or never started, while the preview is wanted (the video interface alone
// may be gone, or another program holds the camera): search and start again in a second.
void PreviewSession::captureStopped() {
  if (wantsCapture_ && !capturer_->isCameraing()) {
    QLog("CameraControl, capture stopped, searching again");
    retryTimer_.start();
  }
}

void PreviewSession::stop() {
  wantsCapture_ = false;
  ++searchGeneration_;
  retryTimer_.stop();
  if (capturer_->isCameraing()) {
    capturer_->stopCapture();
    capturer_->setCameraing(false);
  }
}

}  // namespace vexhal
