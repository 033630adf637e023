#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <chrono>

namespace vexhal {

// The framing of control requests on the single-instance socket, shared by the program and
// vexhalctl. The client sends one request line; the program answers with progress lines, a
// "working" line every second while the request waits or runs (so a client can tell a busy
// program from a hung one), and the reply line, then closes. Every line is one JSON object.
struct ControlSocketProtocol {
  // The longest request line the program reads; a longer one closes the connection.
  static constexpr qsizetype kMaxRequestBytes = 64 * 1024;
  // The longest answer line vexhalctl reads (a list of many cameras).
  static constexpr qsizetype kMaxAnswerBytes = 1024 * 1024;
  // A peer that has not sent its request line by then is closed.
  static constexpr std::chrono::milliseconds kRequestDeadline{5000};
  static constexpr std::chrono::milliseconds kWorkingInterval{1000};

  // {"v":1,"progress":42}
  static QByteArray progressLine(int percent);
  // {"v":1,"working":true}
  static QByteArray workingLine();
  static QByteArray line(const QJsonObject& object);
};

}  // namespace vexhal
