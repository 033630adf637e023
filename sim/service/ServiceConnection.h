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
// it and closes. Deletes itself when the peer is gone. `sent` hears of the body bytes handed to
// the socket.
class ServiceConnection : public QObject {
 public:
  using Route = std::function<ServiceReply(const ServiceRequest& request)>;
  using Sent = std::function<void(qint64 bytes)>;
  static constexpr qsizetype kMaxHeaderSize = 64 * 1024;
  static constexpr qint64 kFloodChunk = 64 * 1024;

  ServiceConnection(QTcpSocket* socket, bool secure, Route route, Sent sent, QObject* parent);

  // Parses the head of a request ("GET /x?y HTTP/1.1" up to the blank line). False for
  // anything that is not a well-formed request line.
  static bool parseHead(const QByteArray& head, ServiceRequest& request);

 private:
  void readRequest();
  void send(const ServiceReply& reply);
  void writeBody(const QByteArray& bytes);
  void trickle();
  void pour();

  QPointer<QTcpSocket> socket_;
  bool secure_;
  Route route_;
  Sent sent_;
  QByteArray buffer_;
  bool answered_ = false;
  QTimer delay_;
  QTimer pace_;
  QByteArray rest_;  // what a trickle still has to send; what a flood repeats
  qint64 floodLeft_ = 0;
};

}  // namespace vexhal::sim
