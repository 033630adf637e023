#include "video/QCameraVideoCapturer.h"

#include <QDebug>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <ostrane/ostrane.h>

namespace vexhal::video {
namespace {

std::int64_t monotonicNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::shared_ptr<QCameraVideoCapturer> QCameraVideoCapturer::create(
    std::weak_ptr<QCameraVideoCapturerDelegate> delegate, bool isNeedRemoteBuffer,
    std::shared_ptr<CaptureBackend> backend) {
  std::shared_ptr<QCameraVideoCapturer> capturer(
      new QCameraVideoCapturer(std::move(delegate), isNeedRemoteBuffer, std::move(backend)));
  // The camera holds the capturer weakly: samples arriving after it is gone are dropped.
  std::weak_ptr<QCameraVideoCapturer> weak = capturer;
  capturer->cameraCaptuer_->setOutputBlock([weak](const VideoSample& sample) {
    if (const auto strong = weak.lock()) strong->deliver(sample);
  });
  // Destroying the capturer stops and joins its capture thread first, so that thread needs no
  // reference. It must hold none: were it left with the last one, it would have to join itself.
  capturer->cameraCaptuer_->setFailureBlock(
      [self = capturer.get()](const CaptureError& error) { self->captureFailed(error); });
  return capturer;
}

QCameraVideoCapturer::QCameraVideoCapturer(std::weak_ptr<QCameraVideoCapturerDelegate> delegate,
                                           bool isNeedRemoteBuffer,
                                           std::shared_ptr<CaptureBackend> backend)
    : isNeedRemoteBuffer_(isNeedRemoteBuffer),
      delegate_(std::move(delegate)),
      cameraCaptuer_(std::make_unique<QRTCCamera>(std::move(backend))) {}

QCameraVideoCapturer::~QCameraVideoCapturer() = default;

std::weak_ptr<QCameraVideoCapturerDelegate> QCameraVideoCapturer::delegate() const {
  const std::lock_guard lock(mutex_);
  return delegate_;
}

void QCameraVideoCapturer::setDelegate(std::weak_ptr<QCameraVideoCapturerDelegate> delegate) {
  const std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

std::optional<CaptureDevice> QCameraVideoCapturer::captureDevice() const {
  const std::lock_guard lock(mutex_);
  return captureDevice_;
}

std::optional<CaptureFormat> QCameraVideoCapturer::format() const {
  const std::lock_guard lock(mutex_);
  return format_;
}

std::optional<CaptureFormat> QCameraVideoCapturer::selectFormat(const CaptureDevice& device) {
  const std::uint32_t preferred = cameraCaptuer_->preferredOutputPixelFormat();
  std::optional<CaptureFormat> choice;
  std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
  for (CaptureFormat& format : cameraCaptuer_->supportedFormatsForDevice(device)) {
    const std::int64_t distance = std::llabs(captureRatio.width - format.width) +
                                  std::llabs(captureRatio.height - format.height);
    if (distance < bestDistance) {
      choice = std::move(format);
      bestDistance = distance;
    } else if (distance == bestDistance && format.pixelFormat == preferred) {
      choice = std::move(format);
    }
  }
  ostrane::QLog("QCameraVideoCapturer, selectFormat", choice ? describe(*choice) : "none");
  return choice;
}

double QCameraVideoCapturer::selectFPS(const CaptureFormat& format) {
  double result = kTargetFrameRate;
  double bestDistance = std::ldexp(1.0, 63);
  for (const FrameRateRange& range : format.frameRateRanges) {
    if (range.minFrameRate != range.maxFrameRate) {
      if (result < range.minFrameRate) result = range.minFrameRate;
      if (result > range.maxFrameRate) result = range.maxFrameRate;
      continue;
    }
    const double distance = std::fabs(kTargetFrameRate - range.maxFrameRate);
    if (bestDistance > distance) {
      result = range.maxFrameRate;
      bestDistance = distance;
    }
  }
  ostrane::QLog("QCameraVideoCapturer, selectFPS", result);
  return result;
}

void QCameraVideoCapturer::startCapture(const std::optional<CaptureDevice>& device,
                                        CaptureCompletion completion) {
  if (!device) return;
  const std::optional<CaptureFormat> chosen = selectFormat(*device);
  {
    const std::lock_guard lock(mutex_);
    captureDevice_ = device;
    format_ = chosen;
  }
  if (!chosen) {
    if (completion) {
      completion(CaptureError{device->name + " offers no video format to capture", ENODEV});
    }
    return;
  }
  // A start that fails leaves the capturer stopped, unless a newer start has overtaken it.
  const std::uint64_t start = ++starts_;
  isCameraing_ = true;
  cameraCaptuer_->startCapture(
      *device, *chosen, selectFPS(*chosen),
      [this, start, completion = std::move(completion)](const std::optional<CaptureError>& error) {
        if (error && starts_ == start) {
          isCameraing_ = false;
          ostrane::QLog("QCameraVideoCapturer, startCapture, failed", error->message);
        }
        if (completion) completion(error);
      });
}

void QCameraVideoCapturer::stopCapture(CaptureCompletion completion) {
  cameraCaptuer_->stopCapture(std::move(completion));
  isCameraing_ = false;
}

std::string QCameraVideoCapturer::description() const {
  char text[64];
  std::snprintf(text, sizeof text, "<QCameraVideoCapturer: %p>", static_cast<const void*>(this));
  return text;
}

void QCameraVideoCapturer::deliver(const VideoSample& sample) {
  if (sample.width <= 0 || sample.height <= 0 || sample.pixelFormat == 0) {
    qDebug("%s sampleBuffer is bad", description().c_str());
    return;
  }
  if (sample.bytes().empty()) {
    qDebug("%s sampleBuffer is not buffer", description().c_str());
    return;
  }
  auto frame = std::make_shared<const VideoFrame>(sample, 0, monotonicNowNs());
  if (const auto target = delegate().lock()) target->didOutputFrameWithRemoteFrame(nullptr, frame);
}

void QCameraVideoCapturer::captureFailed(const CaptureError& error) {
  isCameraing_ = false;
  ostrane::QLog("QCameraVideoCapturer, captureFailed", error.message);
  if (const auto target = delegate().lock()) target->didStopWithError(error);
}

}  // namespace vexhal::video
