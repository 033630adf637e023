#include "KernelRig.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vexhal::kernel::test {

std::vector<std::string> missingRigVariables() {
  std::vector<std::string> missing;
  for (const char* name : {"RIG_HIDG", "RIG_HIDRAW", "RIG_VIDEO", "RIG_UVC_LOG", "RIG_FRAMES_DIR"}) {
    if (rigVariable(name).empty()) {
      missing.emplace_back(name);
    }
  }
  return missing;
}

std::string rigVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

int usbBusNumberOf(const std::string& node) {
  namespace fs = std::filesystem;
  std::error_code error;
  // /dev/hidraw0 is /sys/class/hidraw/hidraw0; its device link leads into the USB tree.
  const fs::path name = fs::path(node).filename();
  for (const char* subsystem : {"hidraw", "video4linux"}) {
    fs::path dir = fs::canonical(fs::path("/sys/class") / subsystem / name / "device", error);
    if (error) {
      continue;
    }
    for (; dir.has_relative_path(); dir = dir.parent_path()) {
      std::ifstream busnum(dir / "busnum");
      int bus = 0;
      if (busnum >> bus) {
        return bus;
      }
    }
  }
  return 0;
}

std::vector<std::string> uvcLogLines() {
  std::vector<std::string> lines;
  std::ifstream log(rigVariable("RIG_UVC_LOG"));
  for (std::string line; std::getline(log, line);) {
    lines.push_back(line);
  }
  return lines;
}

bool waitForUvcLogLine(std::size_t from, const std::string& line) {
  return waitUntil([&] {
    const std::vector<std::string> lines = uvcLogLines();
    return lines.size() > from &&
           std::find(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(), line) !=
               lines.end();
  }, kBusBound);
}

GadgetCamera::GadgetCamera() {
  sim::test::ensureCoreApplication();
  camera.setRestartDelay(std::chrono::milliseconds(200));
  gadget = std::make_unique<sim::HidGadget>(camera, rigVariable("RIG_HIDG"), bus);
}

GadgetCamera::~GadgetCamera() {
  // The next test finds the camera plugged in, whatever this one did to it.
  settle();
  if (!camera.isAttached()) {
    plug();
  }
}

bool GadgetCamera::unplug() {
  camera.unplug();
  return settle() && gadget->busFailures() == 0;
}

bool GadgetCamera::plug() {
  camera.plug();
  return settle() && gadget->busFailures() == 0 && gadget->isOpen();
}

bool GadgetCamera::settle() {
  return waitUntil([this] { return gadget->isSettled(); }, kBusBound);
}

}  // namespace vexhal::kernel::test
