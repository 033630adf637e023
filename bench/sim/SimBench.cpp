// The virtual camera must never be the bottleneck: how long it takes to answer one HID report
// (target well under 10 us), and the share of one core its 1080p MJPEG stream at 30 fps costs
// in steady state (target under 25 %). Each figure is printed next to its anchor, measured in
// the same run: a bare report ping-pong over the same kind of socket, and one core's time.
#include <QCoreApplication>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "CameraCommand.h"
#include "FrameLoop.h"
#include "SimCaptureBackend.h"
#include "VirtualCamera.h"
#include "video/PixelFormat.h"
#include "../ProcessCpu.h"

namespace {

using Clock = std::chrono::steady_clock;
using vexhal::hid_cmd_pack_t;
using vexhal::kHidPacketSize;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Reports sent by the "program" end and answered by the "camera" end of a socket pair, both
// driven from this thread; `answer` turns each request into its reply.
template <typename Answer>
double roundTripMicros(int rounds, Answer&& answer) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) {
    return -1;
  }
  hid_cmd_pack_t request = vexhal::getPackage(vexhal::sim::kCmdGetAngle);
  hid_cmd_pack_t received{};
  hid_cmd_pack_t reply{};
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    send(fds[0], &request, kHidPacketSize, 0);
    recv(fds[1], &received, kHidPacketSize, 0);
    answer(received, reply);
    send(fds[1], &reply, kHidPacketSize, 0);
    recv(fds[0], &received, kHidPacketSize, 0);
  }
  const double micros = secondsSince(start) * 1e6 / rounds;
  close(fds[0]);
  close(fds[1]);
  return micros;
}

void replyLatency() {
  vexhal::sim::VirtualCamera camera;
  camera.plug();
  constexpr int kRounds = 200000;
  const double bare =
      roundTripMicros(kRounds, [](const hid_cmd_pack_t& in, hid_cmd_pack_t& out) { out = in; });
  const double served =
      roundTripMicros(kRounds, [&camera](const hid_cmd_pack_t& in, hid_cmd_pack_t& out) {
        if (const auto reply = camera.respond(in)) out = *reply;
      });
  const hid_cmd_pack_t request = vexhal::getPackage(vexhal::sim::kCmdGetAngle);
  const auto start = Clock::now();
  std::uint64_t sink = 0;
  for (int i = 0; i < kRounds; ++i) {
    sink += camera.respond(request)->head.cmd.get();
  }
  const double answerOnly = secondsSince(start) * 1e6 / kRounds;
  std::printf("HID reply\n");
  std::printf(
      "  answering one report (decode, checksum, state, reply)   %7.3f us   target < 10 us\n",
      answerOnly);
  std::printf("  report round trip through the camera                    %7.3f us\n", served);
  std::printf("  anchor: bare report ping-pong on the same socket kind   %7.3f us\n", bare);
  std::printf("  camera's share of a round trip: %.2f (ratio to anchor %.2f)   [%llu]\n",
              (served - bare) / served, served / bare, static_cast<unsigned long long>(sink % 2));
}

void streamCost() {
  using namespace vexhal;
  sim::VirtualCamera camera;
  camera.plug();
  auto backend = std::make_shared<sim::SimCaptureBackend>(std::vector{&camera});
  const video::CaptureFormat format{1920, 1080, video::kFourccMjpeg, {{30, 30}}};

  // The loop, made once per setting change.
  const double cpuBeforeBuild = processCpuSeconds();
  const auto buildStart = Clock::now();
  const auto loop = sim::FrameLoop::build(format, camera.pictureSettings(), 1);
  const double buildSeconds = secondsSince(buildStart);
  const double buildCpu = processCpuSeconds() - cpuBeforeBuild;
  const double frames = loop ? static_cast<double>(loop->frames().size()) : 1.0;

  std::atomic<int> delivered{0};
  std::atomic<std::size_t> bytes{0};
  video::CaptureSink sink;
  sink.sample = [&](video::VideoSample sample) {
    bytes += sample.bytes().size();
    ++delivered;
  };
  backend->start(backend->devices().front(), format, 30, sink, {});
  while (delivered.load() < 5) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const int startFrames = delivered.load();
  const double cpuStart = processCpuSeconds();
  const auto wallStart = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(4));
  const double cpu = processCpuSeconds() - cpuStart;
  const double wall = secondsSince(wallStart);
  const int streamed = delivered.load() - startFrames;
  backend->stop({});

  const double perFrameEncode = buildCpu / frames;
  std::printf("1080p MJPEG at 30 fps\n");
  std::printf("  steady state: %d frames in %.2f s (%.1f fps), %.1f KiB a frame\n", streamed, wall,
              streamed / wall, bytes.load() / 1024.0 / std::max(1, delivered.load()));
  std::printf(
      "  CPU share of one core                                   %6.2f %%   target < 25 %%\n",
      100.0 * cpu / wall);
  std::printf("  anchor: one core's time over the same %.2f s wall time  (ratio %.4f)\n", wall,
              cpu / wall);
  std::printf(
      "  making the loop again after a setting change: %.0f frames in %.2f s wall, "
      "%.2f s CPU (%.1f ms a frame)\n",
      frames, buildSeconds, buildCpu, 1000.0 * perFrameEncode);
  std::printf("  encoding every frame live instead would cost            %6.1f %% of one core\n",
              100.0 * perFrameEncode * 30.0);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  replyLatency();
  streamCost();
  return 0;
}
