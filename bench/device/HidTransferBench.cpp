// Firmware transfer throughput against the floor of this machine.
//
// A camera thread answers every 1024-byte report at once over a SOCK_SEQPACKET pair. The same
// run measures (a) a 16 MiB firmware transfer driven by USBDevice on the Qt event loop of the
// main thread and (b) a bare loop on the main thread that writes a report, lets the camera
// answer and reads the answer, as many times as the transfer exchanges reports. It prints the
// reports per second of both, their ratio (target >= 0.7) and the main thread's CPU time per
// report.

#include <QCoreApplication>
#include <QEventLoop>

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "device/hid/HidPacket.h"
#include "device/hid/USBDevice.h"

namespace {

using vexhal::hid_cmd_pack_t;
using vexhal::kHidPacketSize;

constexpr qsizetype kImageSize = 16 * 1024 * 1024;
constexpr int kRounds = 5;

struct Sample {
  double seconds = 0;
  double cpuSeconds = 0;
  long reports = 0;
};

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The camera: reads each report and writes it back with the result code set to 0. Counts the
// firmware bytes it received. Runs on its own thread until the other end closes.
struct Camera {
  explicit Camera(int socket) : fd(socket) {
    thread = std::thread([this] {
      pthread_setname_np(pthread_self(), "bench-camera");
      hid_cmd_pack_t pack{};
      while (::recv(fd, &pack, sizeof pack, 0) == static_cast<ssize_t>(sizeof pack)) {
        if (pack.head.cmd.get() == 0x4200) {
          firmwareBytes += pack.head.dataLength.get();
        }
        pack.head.packNum.set(0);
        if (::send(fd, &pack, sizeof pack, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof pack)) {
          break;
        }
      }
    });
  }
  // Waits until the other end has closed; returns the firmware bytes received.
  long finish() {
    if (thread.joinable()) {
      thread.join();
    }
    return firmwareBytes;
  }
  ~Camera() {
    ::shutdown(fd, SHUT_RDWR);
    finish();
    ::close(fd);
  }
  int fd;
  long firmwareBytes = 0;
  std::thread thread;
};

bool makePair(int fds[2]) {
  return ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) == 0;
}

Sample runTransfer(const QByteArray& image) {
  int fds[2];
  if (!makePair(fds)) {
    return {};
  }
  ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  Sample sample;
  long firmwareBytes = 0;
  std::int64_t outcome = -100;
  {
    Camera camera(fds[1]);
    auto device = std::make_shared<vexhal::USBDevice>(
        vexhal::HidDeviceRecord{"bench", 0xB206, 0xB215, 0x01100000}, vexhal::UniqueFd(fds[0]));
    QEventLoop loop;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    device->startUpgrade(image, [&](std::int64_t code) {
      outcome = code;
      loop.quit();
    });
    loop.exec();
    sample.cpuSeconds = threadCpuSeconds() - cpuStart;
    sample.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    device.reset();  // closes the host end, which stops the camera
    firmwareBytes = camera.finish();
  }
  const long dataPackets = (image.size() + 1009) / 1010;
  sample.reports = dataPackets + 2;
  if (outcome != 0 || firmwareBytes != image.size()) {
    std::fprintf(stderr, "transfer failed: outcome %lld, %ld of %lld bytes received\n",
                 static_cast<long long>(outcome), firmwareBytes,
                 static_cast<long long>(image.size()));
    sample.reports = 0;
  }
  return sample;
}

Sample runBareLoop(long reports) {
  int fds[2];
  if (!makePair(fds)) {
    return {};
  }
  Sample sample;
  {
    Camera camera(fds[1]);
    hid_cmd_pack_t pack = vexhal::getPackage(0x4200);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    for (long i = 0; i < reports; ++i) {
      if (::write(fds[0], &pack, sizeof pack) != static_cast<ssize_t>(sizeof pack) ||
          ::read(fds[0], &pack, sizeof pack) != static_cast<ssize_t>(sizeof pack)) {
        std::fprintf(stderr, "bare loop failed at report %ld\n", i);
        break;
      }
      ++sample.reports;
    }
    sample.cpuSeconds = threadCpuSeconds() - cpuStart;
    sample.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::close(fds[0]);
  }
  return sample;
}

double rate(const Sample& s) {
  return s.seconds > 0 ? static_cast<double>(s.reports) / s.seconds : 0;
}

Sample median(std::vector<Sample> samples) {
  std::sort(samples.begin(), samples.end(),
            [](const Sample& a, const Sample& b) { return rate(a) < rate(b); });
  return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QByteArray image(kImageSize, '\0');
  for (qsizetype i = 0; i < image.size(); ++i) {
    image[i] = static_cast<char>(i * 31 + 7);
  }

  std::vector<Sample> transfers;
  std::vector<Sample> bares;
  for (int round = 0; round < kRounds; ++round) {
    transfers.push_back(runTransfer(image));
    bares.push_back(runBareLoop(transfers.back().reports > 0 ? transfers.back().reports : 16614));
  }
  const Sample transfer = median(transfers);
  const Sample bare = median(bares);
  if (transfer.reports == 0 || bare.reports == 0) {
    return 1;
  }
  const double ratio = rate(transfer) / rate(bare);
  std::printf("16 MiB firmware transfer, %ld reports each way (median of %d rounds)\n",
              transfer.reports, kRounds);
  std::printf("  bare 1024-byte ping-pong : %10.0f reports/s, main thread %.2f us CPU/report\n",
              rate(bare), bare.cpuSeconds * 1e6 / static_cast<double>(bare.reports));
  std::printf("  firmware transfer        : %10.0f reports/s, main thread %.2f us CPU/report\n",
              rate(transfer), transfer.cpuSeconds * 1e6 / static_cast<double>(transfer.reports));
  std::printf("  ratio transfer/bare      : %10.2f (target >= 0.70) %s\n", ratio,
              ratio >= 0.7 ? "ok" : "BELOW TARGET");
  std::printf("  USB link ceiling         : %10d reports/s\n", 8000);
  return 0;
}
