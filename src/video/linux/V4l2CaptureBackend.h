#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/linux/UdevCamera.h"
#include "device/linux/V4l2Syscalls.h"
#include "video/CaptureBackend.h"
#include "video/SampleBufferPool.h"

namespace vexhal::video {

// How a camera's video node is presented as a capture device: the unique id pairs it with the
// camera's HID side through its USB location; a node without one gets its path as id.
CaptureDevice captureDeviceFor(const UdevCamera& camera, const UdevCamera::VideoNode& node,
                               const std::string& card);

// Capture from V4L2 video nodes with mmap streaming. One capture at a time runs on the thread
// "vexhal-capture", which configures the device, reports the start completion, then polls and
// delivers samples (payload copied out, driver buffer requeued at once) until stopped or failed.
class V4l2CaptureBackend final : public CaptureBackend {
 public:
  using CameraLister = std::function<std::vector<UdevCamera>()>;

  explicit V4l2CaptureBackend(std::shared_ptr<V4l2Syscalls> io = V4l2Syscalls::system(),
                              CameraLister lister = {});
  ~V4l2CaptureBackend() override;

  std::vector<CaptureDevice> devices() override;
  std::vector<CaptureFormat> formats(const CaptureDevice& device) override;
  std::uint32_t preferredOutputPixelFormat() const override;
  void start(const CaptureDevice& device, const CaptureFormat& format, double fps, CaptureSink sink,
             CaptureCompletion completion) override;
  void stop(CaptureCompletion completion) override;

 private:
  void run(std::string path, CaptureFormat format, double fps, CaptureSink sink,
           CaptureCompletion completion, int wakeFd);
  void join();

  std::shared_ptr<V4l2Syscalls> io_;
  CameraLister lister_;
  SampleBufferPool pool_;
  std::thread thread_;
  int wakeFd_ = -1;
};

}  // namespace vexhal::video
