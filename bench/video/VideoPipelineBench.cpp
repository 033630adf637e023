// Preview pipeline benchmark: 1920 x 1080 MJPEG (4:2:2, quality 85) made here, pushed through
// the capture work queue, the frame wrapping, decoding and conversion to the drawable image,
// all pinned to one core; the anchor is plain TurboJPEG decoding of the same frames in the same
// run. A second run paces the frames at 30 per second into a shown preview and measures CPU
// share, sample-to-drawable latency and resident memory.

#include <sched.h>
#include <sys/resource.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "video/CaptureBackend.h"
#include "video/PixelFormat.h"
#include "video/QCameraVideoCapturer.h"
#include "video/preview/QVideoRenderView.h"
#include "video/preview/RasterVideoSurface.h"

namespace {

using namespace vexhal::video;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrameCount = 30;

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t threadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double loadAverage() {
  double load = 0;
  std::ifstream("/proc/loadavg") >> load;
  return load;
}

long statusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
  }
  return -1;
}

// A camera-like sequence: gradients, a moving bar and sensor-like noise, so the entropy coded
// data is as busy as a real picture's.
std::vector<std::vector<std::uint8_t>> makeSequence() {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
  std::mt19937 random(42);
  std::uniform_int_distribution<int> noise(-6, 6);
  tjhandle encoder = tjInitCompress();
  std::vector<std::vector<std::uint8_t>> frames;
  for (int f = 0; f < kFrameCount; ++f) {
    const int bar = (f * 37) % kWidth;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
        const bool inBar = x >= bar && x < bar + 160;
        const int base = inBar ? 230 : 0;
        p[0] =
            static_cast<std::uint8_t>(std::clamp(base + x * 200 / kWidth + noise(random), 0, 255));
        p[1] = static_cast<std::uint8_t>(std::clamp(y * 220 / kHeight + noise(random), 0, 255));
        p[2] = static_cast<std::uint8_t>(
            std::clamp(((x / 64 + y / 64) % 2) * 120 + 60 + noise(random), 0, 255));
      }
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &jpeg, &size, TJSAMP_422, 85, 0);
    frames.emplace_back(jpeg, jpeg + size);
    tjFree(jpeg);
  }
  tjDestroy(encoder);
  return frames;
}

// The anchor: TurboJPEG decoding into a 32-bit image, the same flags the preview uses.
double rawDecodeFps(const std::vector<std::vector<std::uint8_t>>& frames, int rounds) {
  tjhandle decoder = tjInitDecompress();
  std::vector<std::uint8_t> out(static_cast<std::size_t>(kWidth) * kHeight * 4);
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const auto& frame : frames) {
      tjDecompress2(decoder, frame.data(), frame.size(), out.data(), kWidth, kWidth * 4, kHeight,
                    TJPF_BGRX, TJFLAG_FASTDCT);
    }
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  tjDestroy(decoder);
  return rounds * static_cast<double>(frames.size()) / elapsed.count();
}

class SourceBackend final : public CaptureBackend {
 public:
  std::vector<CaptureDevice> devices() override { return {}; }
  std::vector<CaptureFormat> formats(const CaptureDevice&) override {
    return {{kWidth, kHeight, kFourccMjpeg, {{30, 30}}}};
  }
  std::uint32_t preferredOutputPixelFormat() const override { return kFourccMjpeg; }
  void start(const CaptureDevice&, const CaptureFormat&, double, CaptureSink sink,
             CaptureCompletion completion) override {
    sink_ = std::move(sink);
    if (completion) completion(std::nullopt);
  }
  void stop(CaptureCompletion completion) override {
    sink_ = {};
    if (completion) completion(std::nullopt);
  }
  void push(const std::vector<std::uint8_t>& jpeg) {
    VideoSample sample;
    // The copy a capture backend makes out of the driver buffer.
    sample.payload = std::make_shared<const std::vector<std::uint8_t>>(jpeg);
    sample.pixelFormat = kFourccMjpeg;
    sample.width = kWidth;
    sample.height = kHeight;
    sample.timestampNs = nowNs();
    sink_.sample(std::move(sample));
  }

 private:
  CaptureSink sink_;
};

// The screen's part: each local frame goes to the preview, as the camera control screen does.
class PreviewDelegate final : public QCameraVideoCapturerDelegate {
 public:
  explicit PreviewDelegate(VideoRender* view) : view_(view) {}
  void didOutputFrameWithRemoteFrame(std::shared_ptr<const VideoFrame>,
                                     std::shared_ptr<const VideoFrame> local) override {
    const std::int64_t workStart = threadCpuNs();
    view_->renderFrame(local);
    const std::int64_t work = threadCpuNs() - workStart;
    const std::int64_t latency = nowNs() - local->buffer().timestampNs;
    const std::lock_guard lock(mutex_);
    latencies_.push_back(latency);
    work_.push_back(work);
    ++done_;
    changed_.notify_all();
  }
  void waitDone(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done_ >= count; });
  }
  std::vector<std::int64_t> takeLatencies() {
    const std::lock_guard lock(mutex_);
    std::vector<std::int64_t> result;
    result.swap(latencies_);
    done_ = 0;
    return result;
  }
  // CPU time the frame thread spent decoding and handing over each frame.
  std::vector<std::int64_t> takeWork() {
    const std::lock_guard lock(mutex_);
    std::vector<std::int64_t> result;
    result.swap(work_);
    return result;
  }

 private:
  VideoRender* view_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::int64_t> latencies_;
  std::vector<std::int64_t> work_;
  std::size_t done_ = 0;
};

double median(std::vector<std::int64_t> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return static_cast<double>(values[values.size() / 2]) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  // One core for everything: producer, work queue and GUI thread.
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(0, &one);
  sched_setaffinity(0, sizeof one, &one);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  std::printf("making %d frames of %dx%d MJPEG 4:2:2 q85...\n", kFrameCount, kWidth, kHeight);
  const auto frames = makeSequence();
  std::size_t bytes = 0;
  for (const auto& frame : frames) bytes += frame.size();
  std::printf("average frame: %zu KiB\n", bytes / frames.size() / 1024);

  // Raw decoding and the pipeline take turns, best of five each, so a busy machine or CPU
  // warm-up does not favour one side.
  constexpr int kRounds = 3;
  constexpr int kTrials = 5;
  auto backend = std::make_shared<SourceBackend>();
  QVideoRenderView fullView(nullptr, std::make_unique<RasterVideoSurface>());
  fullView.resize(kWidth, kHeight);
  fullView.show();
  auto fullDelegate = std::make_shared<PreviewDelegate>(fullView.renderView());
  double raw = 0;
  double pipeline = 0;
  {
    auto capturer = QCameraVideoCapturer::create(fullDelegate, false, backend);
    capturer->startCapture(CaptureDevice{"bench", "bench", "bench", "bench"});
    for (int trial = 0; trial < kTrials; ++trial) {
      raw = std::max(raw, rawDecodeFps(frames, kRounds));
      // At most two frames in flight, so nothing is dropped and the core never idles.
      const auto start = std::chrono::steady_clock::now();
      std::size_t pushed = 0;
      for (int r = 0; r < kRounds; ++r) {
        for (const auto& frame : frames) {
          if (pushed >= 2) fullDelegate->waitDone(pushed - 1);
          backend->push(frame);
          ++pushed;
        }
      }
      fullDelegate->waitDone(pushed);
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
      pipeline = std::max(pipeline, static_cast<double>(pushed) / elapsed.count());
      fullDelegate->takeLatencies();
    }
    capturer->stopCapture();
  }
  const auto& surface = static_cast<const RasterVideoSurface&>(fullView.renderView()->surface());
  const QSize drawn = surface.presenter().latestImage().size();
  std::printf("drawable image: %dx%d\n", drawn.width(), drawn.height());
  std::printf("raw TurboJPEG decode:        %7.1f fps\n", raw);
  std::printf("pipeline (queue+decode):     %7.1f fps   ratio %.3f (target >= 0.9)\n", pipeline,
              pipeline / raw);

  // Previewing at 30 fps into a shown 960 x 540 preview that repaints every frame.
  QVideoRenderView preview(nullptr, std::make_unique<RasterVideoSurface>());
  preview.renderView()->renderMode = QRtcViewMode::scaleAspectFill;
  preview.renderView()->applyRenderMode();
  preview.resize(960, 540);
  preview.show();
  auto delegate = std::make_shared<PreviewDelegate>(preview.renderView());
  auto capturer = QCameraVideoCapturer::create(delegate, false, backend);
  capturer->startCapture(CaptureDevice{"bench", "bench", "bench", "bench"});
  constexpr int kPacedFrames = 150;
  int sent = 0;
  QTimer pacer;
  pacer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&pacer, &QTimer::timeout, [&] {
    backend->push(frames[static_cast<std::size_t>(sent) % frames.size()]);
    if (++sent == kPacedFrames) {
      pacer.stop();
      QTimer::singleShot(200, &app, &QApplication::quit);
    }
  });
  const double cpuBefore = cpuSeconds();
  QElapsedTimer wall;
  wall.start();
  pacer.start(1000 / 30);
  app.exec();
  const double cpu = cpuSeconds() - cpuBefore;
  const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  const auto latencies = delegate->takeLatencies();
  const auto work = delegate->takeWork();
  capturer->stopCapture();

  std::printf(
      "previewing at 30 fps (960x540 fill, %zu frames): CPU %.1f %% of one core "
      "(target < 25 %%)\n",
      latencies.size(), 100.0 * cpu / seconds);
  std::printf(
      "median sample-to-drawable latency: %.2f ms (target < 10 ms), of which %.2f ms "
      "CPU time on the frame thread; load average now %.1f\n",
      median(latencies), median(work), loadAverage());
  std::printf("resident memory: %ld MiB now, %ld MiB peak (target < 150 MB)\n",
              statusKb("VmRSS:") / 1024, statusKb("VmHWM:") / 1024);
  return 0;
}
