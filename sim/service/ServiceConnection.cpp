#include "ServiceConnection.h"

#include <QSslSocket>
#include <QUrl>

#include <algorithm>

namespace vexhal::sim {

namespace {

QByteArray reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

QString formDecoded(QByteArray text) {
  text.replace('+', ' ');
  return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
}

}  // namespace

ServiceConnection::ServiceConnection(QTcpSocket* socket, bool secure, Route route, Sent sent,
                                     QObject* parent)
    : QObject(parent),
      socket_(socket),
      secure_(secure),
      route_(std::move(route)),
      sent_(std::move(sent)) {
  socket->setParent(this);
  delay_.setSingleShot(true);
  connect(&pace_, &QTimer::timeout, this, &ServiceConnection::trickle);
  connect(socket, &QTcpSocket::readyRead, this, &ServiceConnection::readRequest);
  connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
  readRequest();
}

bool ServiceConnection::parseHead(const QByteArray& head, ServiceRequest& request) {
  const qsizetype lineEnd = head.indexOf("\r\n");
  const QList<QByteArray> parts = head.left(lineEnd < 0 ? head.size() : lineEnd).split(' ');
  if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.") || !parts[1].startsWith('/')) {
    return false;
  }
  request.headers.clear();
  for (const QByteArray& line : head.mid(lineEnd < 0 ? head.size() : lineEnd + 2).split('\n')) {
    const qsizetype colon = line.indexOf(':');
    if (colon > 0) {
      request.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
  }
  request.method = parts[0];
  request.target = parts[1];
  const qsizetype mark = request.target.indexOf('?');
  request.path =
      QUrl::fromPercentEncoding(request.target.left(mark < 0 ? request.target.size() : mark));
  request.query.clear();
  if (mark >= 0) {
    for (const QByteArray& item : request.target.mid(mark + 1).split('&')) {
      if (item.isEmpty()) {
        continue;
      }
      const qsizetype equals = item.indexOf('=');
      request.query.append({formDecoded(item.left(equals < 0 ? item.size() : equals)),
                            equals < 0 ? QString() : formDecoded(item.mid(equals + 1))});
    }
  }
  return true;
}

void ServiceConnection::readRequest() {
  if (answered_ || socket_ == nullptr) {
    return;
  }
  buffer_ += socket_->readAll();
  const qsizetype end = buffer_.indexOf("\r\n\r\n");
  if (end < 0) {
    if (buffer_.size() > kMaxHeaderSize) {
      answered_ = true;
      send(ServiceReply{400, "text/plain", "request head too large\n"});
    }
    return;
  }
  answered_ = true;
  ServiceRequest request;
  request.secure = secure_;
  if (!parseHead(buffer_.left(end), request)) {
    send(ServiceReply{400, "text/plain", "bad request\n"});
    return;
  }
  const ServiceReply reply =
      request.method == "GET" ? route_(request) : ServiceReply{405, "text/plain", "GET only\n"};
  if (reply.delay.count() > 0) {
    connect(&delay_, &QTimer::timeout, this, [this, reply] { send(reply); });
    delay_.start(reply.delay);
  } else {
    send(reply);
  }
}

void ServiceConnection::send(const ServiceReply& reply) {
  if (socket_ == nullptr) {
    return;
  }
  QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                    reasonPhrase(reply.status) + "\r\nContent-Type: " + reply.contentType +
                    "\r\nConnection: close\r\n";
  if (!reply.encoding.isEmpty()) {
    head += "Content-Encoding: " + reply.encoding + "\r\n";
  }
  if (!reply.location.isEmpty()) {
    head += "Location: " + reply.location + "\r\n";
  }
  QByteArray body = reply.body;
  switch (reply.delivery) {
    case ServiceReply::Delivery::Whole:
      head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
      break;
    case ServiceReply::Delivery::DropMidway:
      head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
      body.truncate(body.size() / 2);
      break;
    case ServiceReply::Delivery::NoLength:
      break;
    case ServiceReply::Delivery::FalseLength:
      head += "Content-Length: " + QByteArray::number(reply.declaredLength) + "\r\n";
      break;
    case ServiceReply::Delivery::Trickle:
      head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
      socket_->write(head + "\r\n");
      rest_ = body;
      pace_.start(reply.pace);
      return;
    case ServiceReply::Delivery::Flood:
      socket_->write(head + "Transfer-Encoding: chunked\r\n\r\n");
      rest_ = body.isEmpty() ? QByteArray(" ") : body;
      floodLeft_ = reply.declaredLength;
      connect(socket_, &QTcpSocket::bytesWritten, this, &ServiceConnection::pour);
      if (auto* tls = qobject_cast<QSslSocket*>(socket_)) {
        connect(tls, &QSslSocket::encryptedBytesWritten, this, &ServiceConnection::pour);
      }
      pour();
      return;
  }
  socket_->write(head + "\r\n");
  writeBody(body);
  // Closes once everything written has gone out.
  socket_->disconnectFromHost();
}

void ServiceConnection::writeBody(const QByteArray& bytes) {
  socket_->write(bytes);
  if (sent_) {
    sent_(bytes.size());
  }
}

void ServiceConnection::trickle() {
  if (socket_ == nullptr || rest_.isEmpty()) {
    pace_.stop();
    return;
  }
  writeBody(rest_.first(1));
  rest_.remove(0, 1);
  if (rest_.isEmpty()) {
    pace_.stop();
    socket_->disconnectFromHost();
  }
}

// Keeps about one chunk queued on the socket, so the count of bytes sent follows what the peer
// takes rather than what was queued.
void ServiceConnection::pour() {
  const auto queued = [this] {
    const auto* tls = qobject_cast<QSslSocket*>(socket_);
    return socket_->bytesToWrite() + (tls != nullptr ? tls->encryptedBytesToWrite() : 0);
  };
  while (socket_ != nullptr && socket_->state() == QAbstractSocket::ConnectedState &&
         floodLeft_ > 0 && queued() < kFloodChunk) {
    QByteArray chunk;
    while (chunk.size() < kFloodChunk) {
      chunk += rest_;
    }
    chunk.truncate(std::min(kFloodChunk, floodLeft_));
    floodLeft_ -= chunk.size();
    socket_->write(QByteArray::number(chunk.size(), 16) + "\r\n");
    writeBody(chunk);
    socket_->write(floodLeft_ > 0 ? QByteArray("\r\n") : QByteArray("\r\n0\r\n\r\n"));
    if (floodLeft_ == 0) {
      socket_->disconnectFromHost();
    }
  }
}

}  // namespace vexhal::sim
