#pragma once

// The local update service on loopback as the process-wide client's endpoint, and readers of
// what the screens show in their window.

#include <QApplication>
#include <QJsonObject>
#include <QTemporaryDir>

#include <optional>

#include "UpdateService.h"
#include "common/QAlertController.h"
#include "common/QParagraphLabel.h"
#include "extension/QHudOverlay.h"
#include "extension/QProgressHUD.h"
#include "extension/QToastView.h"
#include "net/RNetManager.h"
#include "net/ServiceEndpoint.h"
#include "section/about/QNetLogForwarder.h"
#include "section/camera_info/QUpgradeVC.h"

namespace vexhal::test {

// Keeps the downloaded package (in the documents folder) inside a folder of the test's own.
inline void useTemporaryHome() {
  static QTemporaryDir home;
  static const bool set = [] {
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    return true;
  }();
  (void)set;
}

// A service listening on plain HTTP, with the shared client and the endpoint texts pointed at
// it, in a temporary home folder.
struct LocalUpdateService {
  LocalUpdateService() {
    useTemporaryHome();
    service.listenHttp();
    serviceHost = service.url(QString(), false);
    servicePort = QString::number(service.httpPort());
    QNetLogForwarder::configure(serviceHost, servicePort);
  }
  ~LocalUpdateService() {
    serviceHost = QString::fromLatin1(kDefaultServiceHost);
    servicePort = QString::fromLatin1(kDefaultServicePort);
    RNetManager::share().config(serviceHost, servicePort);
  }
  QString url(const QString& path) const { return service.url(path, false); }

  sim::UpdateService service;
};

// The text of the toast on `window`, if one is shown.
inline std::optional<QString> toastText(QWidget* window) {
  QProgressHUD* toast = QHudOverlay::toast(window);
  auto* view = toast != nullptr ? qobject_cast<QToastView*>(toast->customView()) : nullptr;
  return view != nullptr ? std::optional(view->label()->text()) : std::nullopt;
}

// The open top-level widget of type T, if any.
template <typename T>
T* shown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* match = qobject_cast<T*>(widget); match != nullptr && match->isVisible()) {
      return match;
    }
  }
  return nullptr;
}

// The titles of an alert's actions, in order.
inline QStringList actionTitles(const QAlertController* alert) {
  QStringList titles;
  for (const auto& action : alert->actions()) {
    titles << action->title.value_or(QString());
  }
  return titles;
}

}  // namespace vexhal::test
