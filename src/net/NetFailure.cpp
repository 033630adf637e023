#include "net/NetFailure.h"

namespace vexhal {

RNetResponse netFailure(std::int64_t code, const QString& detail) {
  QString message;
  switch (code) {
    case RNetResponse::kBadAddress:
      message = QStringLiteral("The update service address is not valid or not secure.");
      break;
    case RNetResponse::kNoConnection:
      message = QStringLiteral(
          "Cannot reach the update service. Check the network connection and try again.");
      break;
    case RNetResponse::kTlsFailure:
      message = QStringLiteral(
          "The update service's identity could not be verified. Please try again later.");
      break;
    case RNetResponse::kTimeout:
      message = QStringLiteral("The update service did not answer in time. Please try again.");
      break;
    case RNetResponse::kHttpStatus:
      message = QStringLiteral("The update service answered with an error (HTTP %1).").arg(detail);
      break;
    case RNetResponse::kBadAnswer:
      message = QStringLiteral("The update service sent an answer that cannot be read.");
      break;
    case RNetResponse::kDownloadCut:
      message = QStringLiteral("The download was interrupted. Please try again.");
      break;
    case RNetResponse::kChecksumMismatch:
      message = QStringLiteral("The downloaded package is damaged. Please try again.");
      break;
    case RNetResponse::kTooLarge:
      message = QStringLiteral("The package is too large to download.");
      break;
    case RNetResponse::kRedirectFailure:
      message = QStringLiteral(
          "The update service's redirections did not lead to an answer. Please try again later.");
      break;
    case RNetResponse::kFileError:
      message = QStringLiteral("The package could not be saved: %1").arg(detail);
      break;
    default:
      message = QStringLiteral("The update service reported an error (code %1).").arg(code);
      break;
  }
  return RNetResponse{code, message};
}

int httpStatus(const QNetworkReply& reply) {
  return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

RNetResponse replyFailure(const QNetworkReply& reply, bool bodyStarted) {
  if (reply.error() == QNetworkReply::TooManyRedirectsError) {
    return netFailure(RNetResponse::kRedirectFailure);
  }
  const int status = httpStatus(reply);
  if ((status >= 300 && status < 400) || reply.error() == QNetworkReply::InsecureRedirectError) {
    return netFailure(RNetResponse::kBadAddress);  // a redirection that was not followed
  }
  if (status != 0 && status != 200) {
    return netFailure(RNetResponse::kHttpStatus, QString::number(status));
  }
  switch (reply.error()) {
    case QNetworkReply::SslHandshakeFailedError:
      return netFailure(RNetResponse::kTlsFailure);
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
      return netFailure(RNetResponse::kTimeout);
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
      return netFailure(bodyStarted ? RNetResponse::kDownloadCut : RNetResponse::kBadAnswer);
    default:
      return netFailure(bodyStarted ? RNetResponse::kDownloadCut : RNetResponse::kNoConnection);
  }
}

}  // namespace vexhal
