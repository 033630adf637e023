#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

#include "ServiceReply.h"
#include "ServiceRequest.h"

namespace vexhal::sim {

// One accepted connection: reads a single HTTP/1.1 request, asks `route` for the reply, sends
// it and closes. Deletes itself when the peer is gone.
class ServiceConnection : public QObject {
 public:
  using Route = std::function<ServiceReply(const ServiceRequest& request)>;
  static constexpr qsizetype kMaxHeaderSize = 64 * 1024;

  ServiceConnection(QTcpSocket* socket, bool secure, Route route, QObject* parent);

  // Parses the head of a request ("GET /x?y HTTP/1.1" up to the blank line). False for
  // anything that is not a well-formed request line.
  static bool parseHead(const QByteArray& head, ServiceRequest& request);

 private:
  void readRequest();
  void send(const ServiceReply& reply);

  QPointer<QTcpSocket> socket_;
  bool secure_;
  Route route_;
  QByteArray buffer_;
  bool answered_ = false;
  QTimer delay_;
};

}  // namespace vexhal::sim
