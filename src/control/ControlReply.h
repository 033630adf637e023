#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

namespace vexhal::control {

// How an operation ended; the command line's exit status.
enum class ExitCode {
  Done = 0,
  Failed = 1,         // the camera refused or failed (its code in the message)
  Usage = 2,          // a malformed command, setting or value
  NoCamera = 3,       // no such camera, or several and none chosen
  NoAnswer = 4,       // no answer within the timeout
  AccessRefused = 5,  // this user may not open the camera (the message gives the fix)
};

// The outcome of one request. `result` holds what was asked for: list, an array of camera
// objects; get, an object from setting name to value; check-update, the offer; otherwise null.
struct ControlReply {
  ControlReply() = default;
  ControlReply(ExitCode exit_, QJsonValue result_, QString message_,
               std::optional<std::int64_t> code_ = std::nullopt)
      : exit(exit_), result(std::move(result_)), message(std::move(message_)), code(code_) {}

  ExitCode exit = ExitCode::Done;
  QJsonValue result;
  QString message;                   // on failure: what went wrong, in the user's words
  std::optional<std::int64_t> code;  // the camera's own failure code, when it gave one
  // What was changed on the way to the camera (a preset's values skipped, clamped or scaled),
  // one object each: {"preset","control","change","from","to","text"}. Older peers ignore it.
  QJsonArray adjusted;

  bool ok() const { return exit == ExitCode::Done; }
};

// The reply as one protocol object, {"v":1,"ok":false,"exit":1,"code":5,"message":"…"}, and
// back (with "adjusted" when anything was); a progress line of a long operation is
// {"v":1,"progress":42}.
QJsonObject toJson(const ControlReply& reply);
std::optional<ControlReply> replyFromJson(const QJsonObject& object, QString* error);

// A progress line, and back: the percentage (0 to 100), or nothing when the object is not a
// progress line of this protocol.
QJsonObject progressToJson(int percent);
std::optional<int> progressFromJson(const QJsonObject& object);

}  // namespace vexhal::control
