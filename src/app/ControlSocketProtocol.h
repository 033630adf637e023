#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <chrono>
#include <optional>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

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

  // The program's reading of a request line: the request, or why it is refused.
  static std::optional<control::ControlRequest> readRequest(const QByteArray& line, QString* error);

  // vexhalctl's reading of one answer line.
  struct Answer {
    enum class Kind { Working, Progress, Reply, Unreadable };
    Kind kind = Kind::Unreadable;
    int percent = 0;              // Progress
    control::ControlReply reply;  // Reply
    QString error;                // Unreadable
  };
  static Answer readAnswer(const QByteArray& line);
};

}  // namespace vexhal
