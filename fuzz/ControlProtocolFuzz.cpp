// Feeds each line of the input (split at '\n') to both ends of the control socket: the
// program's request reader and vexhalctl's answer reader (ControlSocketProtocol). What either
// end accepts must survive being written back and read again, and the refusal the program
// sends for a bad request must itself be a readable reply line.

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "app/ControlSocketProtocol.h"

namespace {

using vexhal::ControlSocketProtocol;
namespace control = vexhal::control;

void checkRequest(const QByteArray& line) {
  QString error;
  const auto request = ControlSocketProtocol::readRequest(line, &error);
  if (request) {
    const QJsonObject written = control::toJson(*request);
    QString again;
    const auto reread =
        ControlSocketProtocol::readRequest(ControlSocketProtocol::line(written), &again);
    if (!reread || !(*reread == *request)) {
      __builtin_trap();
    }
    return;
  }
  // The program's refusal: one JSON line, protocol 1, a usage exit and the reason.
  const QByteArray refusal = ControlSocketProtocol::line(
      control::toJson(control::ControlReply(control::ExitCode::Usage, QJsonValue(), error)));
  const QJsonObject object = QJsonDocument::fromJson(refusal).object();
  if (error.isEmpty() || !refusal.endsWith('\n') || refusal.count('\n') != 1 ||
      object.value(QLatin1StringView("v")).toInt() != 1 ||
      object.value(QLatin1StringView("exit")).toInt(-1) !=
          static_cast<int>(control::ExitCode::Usage)) {
    __builtin_trap();
  }
  const auto answer = ControlSocketProtocol::readAnswer(refusal);
  if (answer.kind != ControlSocketProtocol::Answer::Kind::Reply ||
      answer.reply.exit != control::ExitCode::Usage || answer.reply.message != error) {
    __builtin_trap();
  }
}

void checkAnswer(const QByteArray& line) {
  using Kind = ControlSocketProtocol::Answer::Kind;
  const auto answer = ControlSocketProtocol::readAnswer(line);
  if (answer.kind == Kind::Progress && (answer.percent < 0 || answer.percent > 100)) {
    __builtin_trap();
  }
  if (answer.kind == Kind::Unreadable && answer.error.isEmpty()) {
    __builtin_trap();
  }
  if (answer.kind == Kind::Reply) {
    const QJsonObject written = control::toJson(answer.reply);
    const auto reread = ControlSocketProtocol::readAnswer(ControlSocketProtocol::line(written));
    if (reread.kind != Kind::Reply || control::toJson(reread.reply) != written) {
      __builtin_trap();
    }
  }
}

}  // namespace

// Both readers keep nothing from one line to the next, so a few lines an input reach all they
// can; inputs of hundreds of short lines made each run cost milliseconds.
constexpr int kLinesPerInput = 4;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QList<QByteArray> lines = input.split('\n');
  for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), kLinesPerInput); ++i) {
    checkRequest(lines[i]);
    checkAnswer(lines[i]);
  }
  return 0;
}
