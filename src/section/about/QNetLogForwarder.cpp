#include "section/about/QNetLogForwarder.h"

#include <ostrane/ostrane.h>

#include "net/RNetManager.h"

namespace vexhal {

std::shared_ptr<QNetLogForwarder> QNetLogForwarder::shared() {
  static const auto forwarder = std::make_shared<QNetLogForwarder>();
  return forwarder;
}

void QNetLogForwarder::configure(const QString& host, const QString& port) {
  RNetManager& manager = RNetManager::share();
  manager.config(host, port);
  manager.addDelegate(shared());
}

void QNetLogForwarder::onPrintLog(RNetManager& /*sender*/, const QString& message) {
  QLog(message.toStdString());
}

}  // namespace vexhal
