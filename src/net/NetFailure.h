#pragma once

#include <QNetworkReply>
#include <QString>

#include <cstdint>

#include "net/RNetResponse.h"

namespace vexhal {

// A failure of the client's own with its user-facing message. `detail` completes messages that
// name something (the HTTP status, the file error).
RNetResponse netFailure(std::int64_t code, const QString& detail = {});

// The failure class of a finished reply that carries an error or a status other than 200.
// `bodyStarted` tells a download cut short from a connection that never answered.
RNetResponse replyFailure(const QNetworkReply& reply, bool bodyStarted);

// The HTTP status of a reply, 0 when none arrived.
int httpStatus(const QNetworkReply& reply);

}  // namespace vexhal
