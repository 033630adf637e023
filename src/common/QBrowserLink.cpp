#include "common/QBrowserLink.h"

#include <QClipboard>
#include <QGuiApplication>

#include <ostrane/ostrane.h>

#include <memory>

#include "common/QAlertController.h"
#include "common/UiStyle.h"

namespace vexhal {

bool QBrowserLink::isWebAddress(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
         !url.host().isEmpty();
}

bool QBrowserLink::open(const QUrl& url, const Opener& opener) {
  return isWebAddress(url) && opener && opener(url);
}

bool QBrowserLink::openOrShowAddress(const QUrl& url, const Opener& opener, QWidget* askingScreen) {
  if (open(url, opener)) {
    return true;
  }
  const QString address = url.toString();
  QLog("Browser, open, failed, " + address.toStdString());
  auto* alert = new QAlertController(
      QStringLiteral("Unable to open the browser"),
      QStringLiteral("The address could not be opened in a browser. Copy it and open it "
                     "yourself: ") +
          address);
  const QFont font = ui::systemFont(14, QFont::Medium);
  alert->addAction(
      std::make_shared<QAlertAction>(
          QStringLiteral("Copy"), QAlertAction::QAlertActionStyle::blueFilled, font,
          [address](QAlertAction&) { QGuiApplication::clipboard()->setText(address); }),
      true);
  alert->addAction(
      std::make_shared<QAlertAction>(QStringLiteral("Close"),
                                     QAlertAction::QAlertActionStyle::grayFilled, font, nullptr),
      true);
  alert->present(askingScreen);
  return false;
}

}  // namespace vexhal
