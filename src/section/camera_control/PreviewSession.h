#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/NodeHolder.h"
#include "video/CaptureBackend.h"
#include "video/FrameTarget.h"

namespace vexhal {

namespace video {
class QCameraVideoCapturer;
}  // namespace video

class CaptureDeviceSearch;
class PreviewFrameSink;

// The control screen's capture lifecycle: find the camera's capture device by its USB location,
// start capturing into the preview, search and start again a second after the device was
// missing, refused the start or stopped on its own, and stop; a start refused because another
// program holds the camera is told, with that program's name. Answers to a search or a start
// that a stop or a newer start overtook are dropped.
//
// Threads: used on the GUI thread; the search lists devices on its own thread and the capture's
// outcomes come from the capture work queue, both handed back to the GUI thread here.
class PreviewSession : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kRetryInterval{1000};
  // The program that keeps the capture device at `path` busy, if it can be told; called on the
  // capture thread.
  using HolderFinder = std::function<std::optional<NodeHolder>(const QString& path)>;

  // Captures from `backend` for the camera at `locationId` (-1: none); `holderOf` names the
  // program that holds a busy camera.
  PreviewSession(std::shared_ptr<video::CaptureBackend> backend, std::int64_t locationId,
                 HolderFinder holderOf = {}, QObject* parent = nullptr);
  ~PreviewSession() override;

  // Frames go to `render` from now on; the capture device is searched for and started.
  void start(std::shared_ptr<video::FrameTarget> render);
  void stop();

  // How long a missing, refused or stopped capture waits before the next search.
  void setRetryInterval(std::chrono::milliseconds interval) { retryTimer_.setInterval(interval); }

  // Whether a capture device was found and the capture started; frames rendered so far.
  bool isCapturing() const;
  std::uint64_t framesRendered() const;

 Q_SIGNALS:
  // The retry interval has passed without a capture: the screen starts again with a new preview.
  void retryDue();
  // A capture device was found and its capture is starting.
  void captureStarting();
  // What the preview area says instead of a picture: "The camera is in use by ..." while another
  // program holds the camera; empty otherwise.
  void noticeChanged(const QString& notice);

 private:
  void deviceFound(const std::optional<video::CaptureDevice>& device);
  void captureStarted(const std::optional<video::CaptureError>& error,
                      const std::optional<NodeHolder>& holder);
  void captureStopped();

  std::int64_t locationId_;
  HolderFinder holderOf_;
  std::shared_ptr<PreviewFrameSink> frameSink_;
  std::shared_ptr<video::QCameraVideoCapturer> capturer_;
  CaptureDeviceSearch* search_;
  QTimer retryTimer_;
  bool wantsCapture_ = false;
  std::uint64_t searchGeneration_ = 0;
};

}  // namespace vexhal
