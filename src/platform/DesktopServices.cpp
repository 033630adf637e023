#include "platform/DesktopServices.h"

#include <QDesktopServices>

#include "platform/Platform.h"
#include "platform/SleepWatcher.h"

namespace vexhal {

void useDesktopServices(Platform& platform) {
  platform.setBrowserOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); });
  platform.setSleepWatcherMaker(
      [] { return std::make_shared<SleepWatcher>(QDBusConnection::systemBus()); });
}

}  // namespace vexhal
