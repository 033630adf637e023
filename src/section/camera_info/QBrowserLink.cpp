#include "section/camera_info/QBrowserLink.h"

#include <QDesktopServices>

namespace vexhal {

namespace {
QBrowserLink::Opener& installedOpener() {
  static QBrowserLink::Opener opener;
  return opener;
}
}  // namespace

bool QBrowserLink::isWebAddress(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
         !url.host().isEmpty();
}

bool QBrowserLink::open(const QUrl& url) {
  if (!isWebAddress(url)) {
    return false;
  }
  if (const Opener& opener = installedOpener()) {
    return opener(url);
  }
  return QDesktopServices::openUrl(url);
}

void QBrowserLink::setOpener(Opener opener) {
  installedOpener() = std::move(opener);
}

}  // namespace vexhal
