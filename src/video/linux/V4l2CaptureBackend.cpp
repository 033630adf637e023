#include "video/linux/V4l2CaptureBackend.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/UsbLocation.h"
#include "device/linux/UdevCameraEnumerator.h"
#include "video/PixelFormat.h"
#include "video/linux/V4l2Device.h"

namespace vexhal::video {
namespace {

void deliver(const CaptureCompletion& completion, const std::optional<CaptureError>& error) {
  if (completion) completion(error);
}

}  // namespace

CaptureDevice captureDeviceFor(const UdevCamera& camera, const UdevCamera::VideoNode& node,
                               const std::string& card) {
  CaptureDevice device;
  device.path = node.devnode;
  device.name = node.name.empty() ? card : node.name;
  device.uniqueId = node.devnode;
  if (const auto& usb = camera.usb) {
    char model[16];
    std::snprintf(model, sizeof model, "%04x:%04x", usb->vendorId, usb->productId);
    device.modelId = model;
    if (usb->locationId != 0) {
      device.uniqueId = captureUniqueId(usb->locationId, usb->vendorId, usb->productId);
    }
  }
  return device;
}

V4l2CaptureBackend::V4l2CaptureBackend(std::shared_ptr<V4l2Syscalls> io, CameraLister lister)
    : io_(std::move(io)), lister_(lister ? std::move(lister) : CameraLister([] {
        return UdevCameraEnumerator::list().value_or(std::vector<UdevCamera>{});
      })) {}

V4l2CaptureBackend::~V4l2CaptureBackend() { join(); }

std::vector<CaptureDevice> V4l2CaptureBackend::devices() {
  std::vector<CaptureDevice> result;
  for (const UdevCamera& camera : lister_()) {
    for (const UdevCamera::VideoNode& node : camera.videoNodes) {
      if (!node.capture) continue;
      V4l2Device device(io_, node.devnode);
      std::string card;
      if (device.open() || !device.isCaptureNode(&card)) continue;
      result.push_back(captureDeviceFor(camera, node, card));
    }
  }
  return result;
}

std::vector<CaptureFormat> V4l2CaptureBackend::formats(const CaptureDevice& captureDevice) {
  V4l2Device device(io_, captureDevice.path);
  if (device.open() || !device.isCaptureNode(nullptr)) return {};
  return device.enumerateFormats();
}

std::uint32_t V4l2CaptureBackend::preferredOutputPixelFormat() const { return kFourccMjpeg; }

void V4l2CaptureBackend::start(const CaptureDevice& device, const CaptureFormat& format, double fps,
                               CaptureSink sink, CaptureCompletion completion) {
  join();
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    const int code = errno;
    deliver(
        completion,
        CaptureError{std::string("cannot create a wake-up event: ") + std::strerror(code), code});
    return;
  }
  thread_ = std::thread(&V4l2CaptureBackend::run, this, device.path, format, fps, std::move(sink),
                        std::move(completion), wakeFd_);
}

void V4l2CaptureBackend::stop(CaptureCompletion completion) {
  join();
  deliver(completion, std::nullopt);
}

void V4l2CaptureBackend::join() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
  }
  if (wakeFd_ >= 0) {
    ::close(wakeFd_);
    wakeFd_ = -1;
  }
}

void V4l2CaptureBackend::run(std::string path, CaptureFormat format, double fps, CaptureSink sink,
                             CaptureCompletion completion, int wakeFd) {
  pthread_setname_np(pthread_self(), "vexhal-capture");
  V4l2Device device(io_, path);
  std::optional<CaptureError> error = device.open();
  if (!error && !device.isCaptureNode(nullptr)) {
    error = CaptureError{path + " is not a video capture device", ENODEV};
  }
  if (!error) error = device.configure(format, fps);
  if (!error) error = device.startStreaming();
  deliver(completion, error);
  if (error) return;

  const auto fail = [&sink](const CaptureError& failure) {
    if (sink.failed) sink.failed(failure);
  };
  pollfd fds[2] = {{device.fd(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
  for (;;) {
    fds[0].revents = 0;
    fds[1].revents = 0;
    if (const int result = io_->poll(fds, 2, -1); result < 0) {
      if (result == -EINTR) continue;
      const int code = -result;
      fail({"cannot wait for frames from " + path + ": " + std::strerror(code), code});
      return;
    }
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;

    bool delivered = false;
    for (;;) {
      VideoSample sample;
      CaptureError readError;
      const auto result = device.readSample(pool_, sample, readError);
      if (result == V4l2Device::ReadResult::failed) {
        fail(readError);
        return;
      }
      if (result == V4l2Device::ReadResult::again) break;
      delivered = true;
      if (sink.sample) sink.sample(std::move(sample));
    }
    // An error or hang-up with nothing to read means the device went away.
    if (!delivered && (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
      fail({path + " stopped delivering frames (device gone)", ENODEV});
      return;
    }
  }
}

}  // namespace vexhal::video
