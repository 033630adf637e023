#include "KernelRig.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "device/hid/linux/UdevHidDiscovery.h"
#include "video/PixelFormat.h"

namespace vexhal::kernel::test {

std::vector<std::string> missingRigVariables() {
  std::vector<std::string> missing;
  for (const char* name : {"RIG_HIDG", "RIG_HIDRAW", "RIG_VIDEO", "RIG_UVC_LOG", "RIG_FRAMES_DIR"})
    if (rigVariable(name).empty()) missing.emplace_back(name);
  return missing;
}

std::string rigVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<std::string> uvcLogLines() {
  std::vector<std::string> lines;
  std::ifstream log(rigVariable("RIG_UVC_LOG"));
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

std::optional<std::size_t> waitForUvcLogLine(std::size_t from, const std::string& line) {
  std::optional<std::size_t> found;
  waitUntil(
      [&] {
        const std::vector<std::string> lines = uvcLogLines();
        if (lines.size() <= from) return false;
        const auto at =
            std::find(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(), line);
        if (at != lines.end()) found = static_cast<std::size_t>(at - lines.begin());
        return found.has_value();
      },
      kBusBound);
  return found;
}

std::string uvcSetLine(const UVCControlInfo& control, std::int64_t value) {
  return "SET_CUR unit=" + std::to_string(control.unit) +
         " selector=" + std::to_string(control.selector) + " value=" + std::to_string(value);
}

GadgetCamera::GadgetCamera() {
  sim::test::ensureCoreApplication();
  camera_.setRestartDelay(std::chrono::milliseconds(200));
  gadget_ = std::make_unique<sim::HidGadget>(camera_, rigVariable("RIG_HIDG"), bus_);
}

GadgetCamera::~GadgetCamera() {
  // The next test finds the camera plugged in, whatever this one did to it.
  settle();
  if (!camera_.isAttached()) plug();
}

std::unique_ptr<HidDiscovery> GadgetCamera::discovery() { return UdevHidDiscovery::create(); }

std::int64_t GadgetCamera::locationId() {
  // /dev/hidraw0 is /sys/class/hidraw/hidraw0; its device link leads into the USB tree.
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path name = fs::path(rigVariable("RIG_HIDRAW")).filename();
  fs::path dir = fs::canonical(fs::path("/sys/class/hidraw") / name / "device", error);
  for (; !error && dir.has_relative_path(); dir = dir.parent_path()) {
    int bus = 0;
    if (std::ifstream(dir / "busnum") >> bus) return std::int64_t{bus} << 24 | 0x00100000;
  }
  return -1;
}

bool GadgetCamera::unplug() {
  camera_.unplug();
  return settle() && gadget_->busFailures() == 0;
}

bool GadgetCamera::plug() {
  camera_.plug();
  return settle() && gadget_->busFailures() == 0 && gadget_->isOpen();
}

bool GadgetCamera::settle() {
  return waitUntil([this] { return gadget_->isSettled(); }, kBusBound);
}

bool GadgetCamera::uvcWasSet(const UVCControlInfo& control, std::int64_t value) {
  return waitForUvcLogLine(logStart_, uvcSetLine(control, value)).has_value();
}

// The commit as the rig logs it: its formats are MJPEG 720p and 1080p, then YUYV 360p, each at
// intervals of 333333 and 666666 x 100 ns (the nearest to the rate asked for).
bool GadgetCamera::sawStream(const video::CaptureFormat& format, double fps) {
  const bool mjpeg = format.pixelFormat == video::kFourccMjpeg;
  const int frame = mjpeg && format.height == 1080 ? 2 : 1;
  const int interval =
      std::abs(1e7 / fps - 333333) < std::abs(1e7 / fps - 666666) ? 333333 : 666666;
  return waitForUvcLogLine(logStart_,
                           "SET_CUR streaming selector=2 format=" + std::to_string(mjpeg ? 1 : 2) +
                               " frame=" + std::to_string(frame) +
                               " interval=" + std::to_string(interval))
      .has_value();
}

}  // namespace vexhal::kernel::test

namespace vexhal::sim::test {

std::unique_ptr<CameraBackend> makeBackend() {
  return std::make_unique<kernel::test::GadgetCamera>();
}

}  // namespace vexhal::sim::test
