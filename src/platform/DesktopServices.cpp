#include "platform/DesktopServices.h"

#include <QDesktopServices>

#include "platform/Platform.h"
#include "platform/SleepWatcher.h"

namespace vexhal {

void useDesktopServices(Platform& platform) {
  platform.setBrowserOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); });
  // A file address goes to the file manager, through the portal inside a sandbox.
  platform.setFolderOpener(
      [](const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
  platform.setSleepWatcherMaker(
      [] { return std::make_shared<SleepWatcher>(QDBusConnection::systemBus()); });
}

}  // namespace vexhal
