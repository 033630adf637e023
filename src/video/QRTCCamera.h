#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "video/CaptureBackend.h"
#include "video/SerialOperationQueue.h"

namespace vexhal::video {

// Runs capture on a backend and moves every sample through a work queue that runs one task at a
// time on the thread "vexhal-frames". The queue is bounded: when more than MaxOpCount samples
// wait, all waiting samples are dropped at once (rather than one by one), so a slow consumer
// costs latency and memory only up to that bound.
class QRTCCamera {
 public:
  static constexpr std::size_t MaxOpCount = 150;
  using OutputBlock = std::function<void(const VideoSample&)>;
  using FailureBlock = std::function<void(const CaptureError&)>;

  explicit QRTCCamera(std::shared_ptr<CaptureBackend> backend);
  // Stops a capture it started and drops the samples still waiting.
  ~QRTCCamera();
  QRTCCamera(const QRTCCamera&) = delete;
  QRTCCamera& operator=(const QRTCCamera&) = delete;

  // Receives each sample on the work queue's thread.
  void setOutputBlock(OutputBlock block);
  // Told, on the capture thread, when a running capture ends on its own (device gone).
  void setFailureBlock(FailureBlock block);

  std::vector<CaptureFormat> supportedFormatsForDevice(const CaptureDevice& device);
  std::uint32_t preferredOutputPixelFormat() const;
  void startCapture(const CaptureDevice& device, const CaptureFormat& format, double fps,
                    CaptureCompletion completion);
  void stopCapture(CaptureCompletion completion);

  // The backend's sample callback (capture thread).
  void captureOutput(VideoSample sample);

  std::size_t waitingSamples() const { return opQueue_.waitingCount(); }

 private:
  std::shared_ptr<CaptureBackend> backend_;
  mutable std::mutex blockMutex_;
  OutputBlock outputBlock_;
  FailureBlock failureBlock_;
  bool started_ = false;
  SerialOperationQueue opQueue_{"vexhal-frames"};
};

}  // namespace vexhal::video
