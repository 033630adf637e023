// Runs the virtual camera as the device side of a USB gadget, for trying the program against a
// real kernel by hand: vexhal-sim-gadget [HIDG-NODE], the node defaulting to $RIG_HIDG. The
// camera's test picture is placed in $RIG_FRAMES_DIR when it is set. Stops on SIGINT or SIGTERM.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/signalfd.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "HidGadget.h"
#include "RigFrames.h"
#include "RigGadgetBus.h"
#include "VirtualCamera.h"

namespace {

// The signals that stop the gadget, read from a signalfd on the main loop.
int stopSignalsFd() {
  sigset_t stopSet;
  sigemptyset(&stopSet);
  sigaddset(&stopSet, SIGINT);
  sigaddset(&stopSet, SIGTERM);
  if (sigprocmask(SIG_BLOCK, &stopSet, nullptr) != 0) {
    return -1;
  }
  return signalfd(-1, &stopSet, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

int main(int argc, char** argv) {
  const int signalFd = stopSignalsFd();
  QCoreApplication app(argc, argv);
  const char* fromEnvironment = std::getenv("RIG_HIDG");
  const std::string node = argc > 1 ? argv[1] : (fromEnvironment ? fromEnvironment : "");
  if (node.empty() || argc > 2) {
    std::fprintf(stderr, "usage: vexhal-sim-gadget [HIDG-NODE]  (default: $RIG_HIDG)\n");
    return 2;
  }

  vexhal::sim::VirtualCamera camera;
  camera.setRestartDelay(std::chrono::milliseconds(500));
  vexhal::sim::RigGadgetBus bus;
  vexhal::sim::HidGadget gadget(camera, node, bus);
  if (!gadget.isOpen()) {
    return 1;
  }
  if (const char* frames = std::getenv("RIG_FRAMES_DIR"); frames != nullptr) {
    for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{1280, 720}}) {
      if (vexhal::sim::RigFrames::place(frames, width, height, camera.pictureSettings()).empty()) {
        return 1;
      }
    }
  }
  std::optional<QSocketNotifier> stop;
  if (signalFd >= 0) {
    stop.emplace(signalFd, QSocketNotifier::Read);
    QObject::connect(&*stop, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
  }
  std::fprintf(stderr, "vexhal-sim-gadget: serving %s\n", node.c_str());
  return QCoreApplication::exec();
}
