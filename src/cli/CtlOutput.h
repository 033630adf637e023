#pragma once

#include <QByteArray>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

namespace vexhal::cli {

// How vexhalctl prints an answer. With --json, stdout gets list's array, get's object, and for
// the other commands {"ok":…} with the failure's code and message or the command's result;
// a failure of any command prints that failure object. Without it, aligned text. A failure's
// message also goes to stderr, for the person reading along. The doctor prints its findings
// (an array, or its text) whether or not every camera can be used.
class CtlOutput {
 public:
  static QByteArray standardOutput(control::ControlRequest::Command command,
                                   const control::ControlReply& reply, bool json);
  // "vexhalctl: <message>\n" on failure; empty on success.
  static QByteArray errorOutput(control::ControlRequest::Command command,
                                const control::ControlReply& reply);

 private:
  static QByteArray json(control::ControlRequest::Command command,
                         const control::ControlReply& reply);
  static QByteArray text(control::ControlRequest::Command command,
                         const control::ControlReply& reply);
};

}  // namespace vexhal::cli
