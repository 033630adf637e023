#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "VirtualCamera.h"
#include "video/CaptureBackend.h"

namespace vexhal::sim {

// The capture seam over virtual cameras: each attached camera is one capture device offering
// the formats of a camera of this kind, and streams its test picture from a loop of ready-made
// frames. A running capture uses two named threads: "vexhal-sim-video" delivers a frame at
// each tick of the chosen rate, and "vexhal-sim-render" makes the loop again in the background
// when a picture setting changes (the old loop plays meanwhile). The cameras must outlive the
// backend.
class SimCaptureBackend final : public video::CaptureBackend {
 public:
  explicit SimCaptureBackend(std::vector<VirtualCamera*> cameras = {});
  SimCaptureBackend(const SimCaptureBackend&) = delete;
  SimCaptureBackend& operator=(const SimCaptureBackend&) = delete;
  ~SimCaptureBackend() override;

  void addCamera(VirtualCamera& camera);

  // YUYV 640x480 at 30 and 1920x1080 at 5 fps, MJPEG 1920x1080, 1280x720 and 640x480 at 30,
  // in the order the camera lists them.
  static std::vector<video::CaptureFormat> cameraFormats();
  static video::CaptureDevice deviceOf(const VirtualCamera& camera);

  std::vector<video::CaptureDevice> devices() override;
  std::vector<video::CaptureFormat> formats(const video::CaptureDevice& device) override;
  std::uint32_t preferredOutputPixelFormat() const override;
  void start(const video::CaptureDevice& device, const video::CaptureFormat& format, double fps,
             video::CaptureSink sink, video::CaptureCompletion completion) override;
  void stop(video::CaptureCompletion completion) override;

 private:
  class Session;
  VirtualCamera* attachedCamera(const video::CaptureDevice& device);

  std::mutex mutex_;
  std::vector<VirtualCamera*> cameras_;
  std::unique_ptr<Session> session_;  // start() and stop() come from one controlling thread
};

}  // namespace vexhal::sim
