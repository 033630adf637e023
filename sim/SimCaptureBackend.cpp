#include "SimCaptureBackend.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <thread>

#include "FrameLoop.h"
#include "video/PixelFormat.h"

namespace vexhal::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRateTolerance = 0.01;

std::int64_t monotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

void report(const video::CaptureCompletion& completion,
            const std::optional<video::CaptureError>& error) {
  if (completion) {
    completion(error);
  }
}

}  // namespace

// One running capture: the delivery thread and the loop-making thread of one camera.
class SimCaptureBackend::Session {
 public:
  Session(VirtualCamera& camera, video::CaptureFormat format, double fps, video::CaptureSink sink,
          video::CaptureCompletion completion)
      : camera_(camera), format_(std::move(format)), fps_(fps), sink_(std::move(sink)) {
    render_ = std::thread([this] { renderLoop(); });
    deliver_ = std::thread([this, done = std::move(completion)] { deliverLoop(done); });
  }

  ~Session() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    deliver_.join();
    render_.join();
    camera_.setStreaming(0, 0);
  }

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

 private:
  void deliverLoop(const video::CaptureCompletion& completion) {
    pthread_setname_np(pthread_self(), "vexhal-sim-video");
    camera_.setStreaming(format_.width, format_.height);
    report(completion, std::nullopt);
    const auto interval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / fps_));
    auto next = Clock::now();
    std::uint64_t index = 0;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (!camera_.isAttached()) {
        lock.unlock();
        camera_.setStreaming(0, 0);
        if (sink_.failed) {
          sink_.failed({"The virtual camera was unplugged", ENODEV});
        }
        return;
      }
      if (camera_.pictureGeneration() != wanted_) {
        wanted_ = camera_.pictureGeneration();
        wake_.notify_all();
      }
      if (loop_) {
        const auto& frames = loop_->frames();
        video::VideoSample sample;
        sample.payload = frames[index % frames.size()];
        sample.pixelFormat = format_.pixelFormat;
        sample.width = format_.width;
        sample.height = format_.height;
        sample.timestampNs = monotonicNs();
        ++index;
        lock.unlock();
        if (sink_.sample) {
          sink_.sample(std::move(sample));
        }
        lock.lock();
      }
      // A late tick is not made up for with a burst of frames.
      next = std::max(next + interval, Clock::now() - interval);
      wake_.wait_until(lock, next, [this] { return stopping_; });
    }
  }

  void renderLoop() {
    pthread_setname_np(pthread_self(), "vexhal-sim-render");
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return stopping_ || wanted_ != built_; });
      if (stopping_) {
        return;
      }
      const std::uint64_t generation = wanted_;
      lock.unlock();
      const PictureSettings settings = camera_.pictureSettings();
      auto loop = FrameLoop::build(format_, settings, generation, [this, generation] {
        return stopped() || camera_.pictureGeneration() != generation;
      });
      lock.lock();
      if (loop) {
        loop_ = std::move(loop);
        built_ = generation;
      } else if (!stopping_ && camera_.pictureGeneration() == generation) {
        built_ = generation;  // cannot be made; do not retry until something changes
      }
    }
  }

  bool stopped() {
    const std::lock_guard lock(mutex_);
    return stopping_;
  }

  VirtualCamera& camera_;
  const video::CaptureFormat format_;
  const double fps_;
  const video::CaptureSink sink_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::uint64_t wanted_ = 0;  // picture generation the loop should show
  std::uint64_t built_ = 0;   // picture generation of loop_
  std::shared_ptr<const FrameLoop> loop_;
  std::thread render_;
  std::thread deliver_;
};

SimCaptureBackend::SimCaptureBackend(std::vector<VirtualCamera*> cameras)
    : cameras_(std::move(cameras)) {}

SimCaptureBackend::~SimCaptureBackend() { session_.reset(); }

void SimCaptureBackend::addCamera(VirtualCamera& camera) {
  const std::lock_guard lock(mutex_);
  cameras_.push_back(&camera);
}

std::vector<video::CaptureFormat> SimCaptureBackend::cameraFormats() {
  const auto format = [](std::int32_t w, std::int32_t h, std::uint32_t fourcc, double fps) {
    return video::CaptureFormat{w, h, fourcc, {{fps, fps}}};
  };
  return {format(640, 480, video::kFourccYuyv, 30), format(1920, 1080, video::kFourccYuyv, 5),
          format(1920, 1080, video::kFourccMjpeg, 30), format(1280, 720, video::kFourccMjpeg, 30),
          format(640, 480, video::kFourccMjpeg, 30)};
}

video::CaptureDevice SimCaptureBackend::deviceOf(const VirtualCamera& camera) {
  char model[16];
  std::snprintf(model, sizeof model, "%04x:%04x", camera.vendorId(), camera.productId());
  return {camera.captureUniqueId(), "Virtual camera " + camera.serialNumber(), model,
          "virtual:" + camera.serialNumber()};
}

std::vector<video::CaptureDevice> SimCaptureBackend::devices() {
  const std::lock_guard lock(mutex_);
  std::vector<video::CaptureDevice> result;
  for (const VirtualCamera* camera : cameras_) {
    if (camera->isAttached()) {
      result.push_back(deviceOf(*camera));
    }
  }
  return result;
}

VirtualCamera* SimCaptureBackend::attachedCamera(const video::CaptureDevice& device) {
  const std::lock_guard lock(mutex_);
  for (VirtualCamera* camera : cameras_) {
    if (camera->isAttached() && deviceOf(*camera).path == device.path) {
      return camera;
    }
  }
  return nullptr;
}

std::vector<video::CaptureFormat> SimCaptureBackend::formats(const video::CaptureDevice& device) {
  return attachedCamera(device) != nullptr ? cameraFormats() : std::vector<video::CaptureFormat>{};
}

std::uint32_t SimCaptureBackend::preferredOutputPixelFormat() const { return video::kFourccMjpeg; }

void SimCaptureBackend::start(const video::CaptureDevice& device,
                              const video::CaptureFormat& format, double fps,
                              video::CaptureSink sink, video::CaptureCompletion completion) {
  session_.reset();
  VirtualCamera* camera = attachedCamera(device);
  if (camera == nullptr) {
    report(completion, video::CaptureError{"No such virtual camera: " + device.path, ENODEV});
    return;
  }
  if (camera->faults().otherProgramCaptures4K) {
    report(completion, video::CaptureError{"The virtual camera is streaming to another program: " +
                                               std::string(std::strerror(EBUSY)),
                                           EBUSY});
    return;
  }
  bool offered = false;
  for (const video::CaptureFormat& candidate : cameraFormats()) {
    if (candidate.width == format.width && candidate.height == format.height &&
        candidate.pixelFormat == format.pixelFormat) {
      for (const video::FrameRateRange& range : candidate.frameRateRanges) {
        offered = offered || (fps >= range.minFrameRate - kRateTolerance &&
                              fps <= range.maxFrameRate + kRateTolerance);
      }
    }
  }
  if (!offered || !std::isfinite(fps)) {
    char text[96];
    std::snprintf(text, sizeof text, "The virtual camera does not offer %dx%d %s at %.2f fps",
                  format.width, format.height, video::fourccText(format.pixelFormat).c_str(), fps);
    report(completion, video::CaptureError{text, EINVAL});
    return;
  }
  session_ =
      std::make_unique<Session>(*camera, format, fps, std::move(sink), std::move(completion));
}

void SimCaptureBackend::stop(video::CaptureCompletion completion) {
  session_.reset();
  report(completion, std::nullopt);
}

}  // namespace vexhal::sim
