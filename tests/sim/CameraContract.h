#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "Inbox.h"
#include "SimTestSupport.h"
#include "device/hid/CaptureDevicePairing.h"
#include "device/hid/HidDiscovery.h"
#include "device/uvc/UVCControlInfo.h"
#include "device/uvc/UVCTransportFactory.h"
#include "video/CaptureBackend.h"

namespace vexhal::sim::test {

// The camera as the program's own seams reach it: the virtual camera in this process, or the
// same camera as a USB gadget behind a real kernel (the kernel rig). Its HID side is answered
// by `camera()` in both.
class CameraBackend {
 public:
  virtual ~CameraBackend() = default;

  virtual VirtualCamera& camera() = 0;
  virtual std::unique_ptr<HidDiscovery> discovery() = 0;
  virtual UVCTransportFactory& uvc() = 0;
  virtual std::shared_ptr<video::CaptureBackend> capture() = 0;
  // The key the manager lists the camera under, and its USB location, as they are now.
  virtual std::string hidKey() = 0;
  virtual std::int64_t locationId() = 0;
  // Takes the camera off the bus or puts it back; true once the host has seen it.
  virtual bool unplug() = 0;
  virtual bool plug() = 0;
  // Whether the camera's UVC side was set to `value` for `control` during this test.
  virtual bool uvcWasSet(const UVCControlInfo& control, std::int64_t value) = 0;
  // Waits for the host to catch up with the camera's last attach or detach.
  virtual bool settle() { return true; }
  // Whether the camera was asked to stream `format` at `fps` during this test.
  virtual bool sawStream(const video::CaptureFormat& format, double fps) = 0;
  // A bound for one step across the bus.
  virtual std::chrono::milliseconds bound() const = 0;
};

// Each program running the contract suite provides its backend.
std::unique_ptr<CameraBackend> makeBackend();

// The capture devices paired with the camera at `location`.
inline std::vector<video::CaptureDevice> pairedDevices(video::CaptureBackend& capture,
                                                       std::int64_t location) {
  std::vector<video::CaptureDevice> paired;
  for (const video::CaptureDevice& candidate : capture.devices())
    if (isMatched(candidate.uniqueId, location)) paired.push_back(candidate);
  return paired;
}

using Samples = video::testing::Inbox<video::VideoSample>;
using Outcomes = video::testing::Inbox<std::optional<video::CaptureError>>;

// Starts `capture` on `device` and waits for its first outcome; samples and outcomes go to the
// inboxes, which must outlive the stream.
inline std::optional<video::CaptureError> startStream(video::CaptureBackend& capture,
                                                      const video::CaptureDevice& device,
                                                      const video::CaptureFormat& format,
                                                      double fps, Samples& samples,
                                                      Outcomes& outcome,
                                                      std::chrono::milliseconds bound) {
  const std::size_t before = outcome.size();
  video::CaptureSink sink;
  sink.sample = [&samples](video::VideoSample sample) { samples.push(std::move(sample)); };
  capture.start(device, format, fps, sink,
                [&outcome](const std::optional<video::CaptureError>& e) { outcome.push(e); });
  if (!waitUntil([&] { return outcome.size() > before; }, bound))
    return video::CaptureError{"no outcome"};
  return outcome.items()[before];
}

}  // namespace vexhal::sim::test
