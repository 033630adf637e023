// The contract suite's camera in this process: the virtual camera behind the program's seams.
#include "CameraCommand.h"
#include "CameraContract.h"
#include "SimCaptureBackend.h"
#include "SimUvcTransportFactory.h"

namespace vexhal::sim::test {
namespace {

class InProcessCamera final : public CameraBackend {
 public:
  InProcessCamera() {
    ensureCoreApplication();
    camera_.setRestartDelay(std::chrono::milliseconds(50));
    camera_.plug();
  }

  VirtualCamera& camera() override { return camera_; }
  std::unique_ptr<HidDiscovery> discovery() override {
    return std::make_unique<SimHidDiscovery>(std::vector{&camera_});
  }
  UVCTransportFactory& uvc() override { return uvc_; }
  std::shared_ptr<video::CaptureBackend> capture() override { return capture_; }
  std::string hidKey() override { return camera_.hidKey(); }
  std::int64_t locationId() override { return camera_.locationId(); }
  bool unplug() override {
    camera_.unplug();
    return true;
  }
  bool plug() override {
    camera_.plug();
    return true;
  }
  bool uvcWasSet(const UVCControlInfo& control, std::int64_t value) override {
    return camera_.uvcControls().value(control) == value;
  }
  // The camera reports the size it streams in its capture info.
  bool sawStream(const video::CaptureFormat& format, double) override {
    return waitUntil([&] {
      const auto reply = camera_.respond(getPackage(kCmdGetCaptureInfo));
      return reply && readLittleEndian(&reply->data[0], 4) == format.width &&
             readLittleEndian(&reply->data[4], 4) == format.height;
    });
  }
  std::chrono::milliseconds bound() const override { return std::chrono::seconds(20); }

 private:
  VirtualCamera camera_;
  SimUvcTransportFactory uvc_{{&camera_}};
  std::shared_ptr<SimCaptureBackend> capture_ =
      std::make_shared<SimCaptureBackend>(std::vector{&camera_});
};

}  // namespace

std::unique_ptr<CameraBackend> makeBackend() { return std::make_unique<InProcessCamera>(); }

}  // namespace vexhal::sim::test
