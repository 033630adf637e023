#include "device/uvc/UVCTransportFactory.h"

#include <mutex>

namespace vexhal {
namespace {

std::mutex& factoryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<UVCTransportFactory>& installedFactory() {
  static std::shared_ptr<UVCTransportFactory> factory;
  return factory;
}

}  // namespace

std::shared_ptr<UVCTransportFactory> UVCTransportFactory::current() {
  std::lock_guard lock(factoryMutex());
  if (!installedFactory()) {
    installedFactory() = makePlatformUvcTransportFactory();
  }
  return installedFactory();
}

void UVCTransportFactory::install(std::shared_ptr<UVCTransportFactory> factory) {
  std::lock_guard lock(factoryMutex());
  installedFactory() = std::move(factory);
}

}  // namespace vexhal
