#include "video/QRTCCamera.h"

#include <ostrane/ostrane.h>

namespace vexhal::video {

QRTCCamera::QRTCCamera(std::shared_ptr<CaptureBackend> backend) : backend_(std::move(backend)) {}

QRTCCamera::~QRTCCamera() {
  if (started_) backend_->stop({});
  opQueue_.cancelAllWaiting();
}

void QRTCCamera::setOutputBlock(OutputBlock block) {
  const std::lock_guard lock(blockMutex_);
  outputBlock_ = std::move(block);
}

void QRTCCamera::setFailureBlock(FailureBlock block) {
  const std::lock_guard lock(blockMutex_);
  failureBlock_ = std::move(block);
}

std::vector<CaptureFormat> QRTCCamera::supportedFormatsForDevice(const CaptureDevice& device) {
  return backend_->formats(device);
}

std::uint32_t QRTCCamera::preferredOutputPixelFormat() const {
  return backend_->preferredOutputPixelFormat();
}

void QRTCCamera::startCapture(const CaptureDevice& device, const CaptureFormat& format, double fps,
                              CaptureCompletion completion) {
  started_ = true;
  CaptureSink sink{[this](VideoSample sample) { captureOutput(std::move(sample)); },
                   [this](const CaptureError& error) {
                     FailureBlock block;
                     {
                       const std::lock_guard lock(blockMutex_);
                       block = failureBlock_;
                     }
                     if (block) block(error);
                   }};
  backend_->start(device, format, fps, std::move(sink), std::move(completion));
}

void QRTCCamera::stopCapture(CaptureCompletion completion) {
  started_ = false;
  backend_->stop(std::move(completion));
}

void QRTCCamera::captureOutput(VideoSample sample) {
  if (opQueue_.waitingCount() > MaxOpCount) {
    ostrane::QLog("camera>丢帧");
    opQueue_.cancelAllWaiting();
  }
  opQueue_.add([this, sample = std::move(sample)] {
    OutputBlock block;
    {
      const std::lock_guard lock(blockMutex_);
      block = outputBlock_;
    }
    if (block) block(sample);
  });
}

}  // namespace vexhal::video
