#pragma once

#include <optional>
#include <vector>

#include "video/CaptureBackend.h"
#include "video/PixelFormat.h"

namespace vexhal::video::testing {

// A capture backend the test configures: the formats it offers and a start it refuses; the
// test sends samples on its own thread.
class FakeCaptureBackend final : public CaptureBackend {
 public:
  struct Start {
    CaptureDevice device;
    CaptureFormat format;
    double fps = 0;
  };

  std::vector<CaptureFormat> offered;
  std::optional<CaptureError> startError;
  std::vector<Start> starts;
  int stops = 0;

  std::vector<CaptureDevice> devices() override { return {}; }
  std::vector<CaptureFormat> formats(const CaptureDevice& /*device*/) override { return offered; }
  std::uint32_t preferredOutputPixelFormat() const override { return kFourccMjpeg; }
  void start(const CaptureDevice& device, const CaptureFormat& format, double fps, CaptureSink sink,
             CaptureCompletion completion) override {
    starts.push_back({device, format, fps});
    sink_ = std::move(sink);
    if (completion) completion(startError);
  }
  void stop(CaptureCompletion completion) override {
    ++stops;
    sink_ = {};
    if (completion) completion(std::nullopt);
  }

  void send(VideoSample sample) {
    if (sink_.sample) sink_.sample(std::move(sample));
  }

 private:
  CaptureSink sink_;
};

}  // namespace vexhal::video::testing
