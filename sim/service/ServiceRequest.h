#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace vexhal::sim {

// One request as the local update service received it, kept so tests can see what was sent.
struct ServiceRequest {
  QByteArray method;
  QByteArray target;                         // the request target exactly as sent, query included
  QString path;                              // decoded path
  QList<std::pair<QString, QString>> query;  // decoded as a form: '+' is a blank
  QList<std::pair<QByteArray, QByteArray>> headers;  // names in lower case
  bool secure = false;                               // arrived over TLS

  QByteArray header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
      if (key == name) {
        return value;
      }
    }
    return {};
  }

  QString queryValue(const QString& key) const {
    for (const auto& [name, value] : query) {
      if (name == key) {
        return value;
      }
    }
    return {};
  }
};

}  // namespace vexhal::sim
