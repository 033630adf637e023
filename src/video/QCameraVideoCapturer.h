#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "video/CaptureBackend.h"
#include "video/QCameraVideoCapturerDelegate.h"
#include "video/QRTCCamera.h"
#include "video/QVideoRatio.h"

namespace vexhal::video {

// Captures one camera for the preview: picks the format closest to 1920 x 1080 (MJPEG on a
// tie) and the rate closest to 30, and hands every good sample, wrapped as a VideoFrame, to the
// delegate. startCapture() and stopCapture() run on the GUI thread; frames reach the delegate on
// the work queue's thread.
class QCameraVideoCapturer : public std::enable_shared_from_this<QCameraVideoCapturer> {
 public:
  static std::shared_ptr<QCameraVideoCapturer> create(
      std::weak_ptr<QCameraVideoCapturerDelegate> delegate, bool isNeedRemoteBuffer,
      std::shared_ptr<CaptureBackend> backend);
  ~QCameraVideoCapturer();
  QCameraVideoCapturer(const QCameraVideoCapturer&) = delete;
  QCameraVideoCapturer& operator=(const QCameraVideoCapturer&) = delete;

  static constexpr double kTargetFrameRate = 30.0003;
  const QVideoRatio captureRatio{1920, 1080, "原画1080P"};

  bool isCameraing() const { return isCameraing_.load(); }
  void setCameraing(bool value) { isCameraing_ = value; }
  bool isNeedRemoteBuffer() const { return isNeedRemoteBuffer_; }
  std::weak_ptr<QCameraVideoCapturerDelegate> delegate() const;
  void setDelegate(std::weak_ptr<QCameraVideoCapturerDelegate> delegate);
  QRTCCamera& cameraCaptuer() { return *cameraCaptuer_; }
  std::optional<CaptureDevice> captureDevice() const;
  std::optional<CaptureFormat> format() const;

  // Without a device nothing happens. A device without formats is not started; the completion
  // then gets the error. Capturing from the call on; a start that fails (the completion gets
  // the error, on the capture thread) ends it.
  void startCapture(const std::optional<CaptureDevice>& device, CaptureCompletion completion = {});
  void stopCapture(CaptureCompletion completion = {});

  std::optional<CaptureFormat> selectFormat(const CaptureDevice& device);
  double selectFPS(const CaptureFormat& format);

 private:
  QCameraVideoCapturer(std::weak_ptr<QCameraVideoCapturerDelegate> delegate,
                       bool isNeedRemoteBuffer, std::shared_ptr<CaptureBackend> backend);
  void deliver(const VideoSample& sample);
  void captureFailed(const CaptureError& error);
  std::string description() const;

  const bool isNeedRemoteBuffer_;
  std::atomic<bool> isCameraing_{false};
  std::atomic<std::uint64_t> starts_{0};
  mutable std::mutex mutex_;
  std::weak_ptr<QCameraVideoCapturerDelegate> delegate_;
  std::optional<CaptureDevice> captureDevice_;
  std::optional<CaptureFormat> format_;
  std::unique_ptr<QRTCCamera> cameraCaptuer_;
};

}  // namespace vexhal::video
