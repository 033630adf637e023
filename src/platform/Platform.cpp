#include "platform/Platform.h"

#include "device/hid/USBHidManager.h"
#include "platform/AutostartEntry.h"
#include "device/hid/linux/UdevHidDiscovery.h"
#include "device/uvc/UVCTransportFactory.h"
#include "video/linux/V4l2CaptureBackend.h"

#include <malloc.h>

namespace vexhal {

Platform::Platform()
    : discoveryMaker_([]() -> std::unique_ptr<HidDiscovery> { return UdevHidDiscovery::create(); }),
      uvcTransportFactory_(makePlatformUvcTransportFactory()),
      captureBackend_(std::make_shared<video::V4l2CaptureBackend>()),
      scheduler_(defaultScheduler()),
      memoryReleaser_([] { ::malloc_trim(0); }),
      autostartDirectory_(AutostartEntry::defaultDirectory()) {}

Platform::Platform(Platform&&) noexcept = default;
Platform& Platform::operator=(Platform&&) noexcept = default;
Platform::~Platform() = default;

std::unique_ptr<HidDiscovery> Platform::makeDiscovery() const {
  return discoveryMaker_ ? discoveryMaker_() : nullptr;
}

Scheduler Platform::currentScheduler() const {
  return [this](QObject* context, int ms, std::function<void()> task) {
    scheduler_(context, ms, std::move(task));
  };
}

void Platform::releaseFreedMemory() const {
  if (memoryReleaser_) {
    memoryReleaser_();
  }
}

std::shared_ptr<SleepWatcher> Platform::makeSleepWatcher() const {
  if (!sleepWatcherMaker_) {
    return nullptr;
  }
  return sleepWatcherMaker_();
}

void Platform::setUvcTransportFactory(std::shared_ptr<UVCTransportFactory> factory) {
  if (factory) {
    uvcTransportFactory_ = std::move(factory);
  }
}

void Platform::setCaptureBackend(std::shared_ptr<video::CaptureBackend> backend) {
  if (backend) {
    captureBackend_ = std::move(backend);
  }
}

bool Platform::configureSharedManager() const {
  return USBHidManager::installDiscovery(makeDiscovery());
}

}  // namespace vexhal
