#include "net/PackageDownload.h"

#include <QNetworkReply>

#include <algorithm>

#include "net/NetFailure.h"

namespace vexhal {

PackageDownload::PackageDownload(QNetworkReply* reply, std::unique_ptr<QSaveFile> file,
                                 std::optional<QByteArray> expectedSha256, std::int64_t maxSize,
                                 std::chrono::milliseconds idleTimeout,
                                 std::chrono::milliseconds connectTimeout, Progress progress,
                                 Completion completion, QObject* parent)
    : NetCall(reply, idleTimeout, connectTimeout, parent),
      file_(std::move(file)),
      expectedSha256_(std::move(expectedSha256)),
      maxSize_(maxSize),
      progress_(std::move(progress)),
      completion_(std::move(completion)) {}

void PackageDownload::headersArrived() {
  const int status = httpStatus(reply());
  if (status != 200) {
    return;  // a redirection the network layer follows, or a refusal told at the end
  }
  // Only the identity encoding was asked for, and nothing is decoded: encoded bytes are not
  // the package.
  const QByteArray encoding = reply().rawHeader("Content-Encoding").trimmed();
  if (!encoding.isEmpty() && encoding.compare("identity", Qt::CaseInsensitive) != 0) {
    fail(netFailure(RNetResponse::kBadAnswer));
    return;
  }
  const QVariant length = reply().header(QNetworkRequest::ContentLengthHeader);
  if (length.isValid()) {
    declared_ = length.toLongLong();
    // A negative length is no length at all: the answer is malformed, not of unknown size.
    if (declared_ < 0) {
      fail(netFailure(RNetResponse::kBadAnswer));
    } else if (declared_ > maxSize_) {
      fail(netFailure(RNetResponse::kTooLarge));
    }
  }
}

void PackageDownload::dataArrived() {
  if (const std::optional<RNetResponse> failure = consume()) {
    fail(*failure);
  }
}

std::optional<RNetResponse> PackageDownload::consume() {
  const QByteArray chunk = reply().readAll();
  if (const int status = httpStatus(reply()); status != 200) {
    // The body of a redirection or of a refusal: dropped, and not read for long.
    discarded_ += chunk.size();
    return discarded_ > kMaxDiscarded
               ? std::optional(netFailure(RNetResponse::kHttpStatus, QString::number(status)))
               : std::nullopt;
  }
  received_ += chunk.size();
  if (received_ > maxSize_) {
    return netFailure(RNetResponse::kTooLarge);
  }
  if (file_->write(chunk) != chunk.size()) {
    return netFailure(RNetResponse::kFileError, file_->errorString());
  }
  hash_.addData(chunk);
  if (declared_ > 0) {
    report(static_cast<int>(std::min(received_, declared_) * 100 / declared_));
  }
  return std::nullopt;
}

void PackageDownload::report(int percent) {
  if (percent > percent_) {
    percent_ = percent;
    if (progress_) {
      progress_(percent);
    }
  }
}

RNetResponse PackageDownload::complete() {
  if (reply().error() != QNetworkReply::NoError || httpStatus(reply()) != 200) {
    return replyFailure(reply(), received_ > 0);
  }
  if (const std::optional<RNetResponse> failure = consume()) {
    return *failure;
  }
  if (declared_ >= 0 && received_ != declared_) {
    return netFailure(RNetResponse::kDownloadCut);
  }
  if (expectedSha256_ && hash_.hexResult() != expectedSha256_->toLower()) {
    return netFailure(RNetResponse::kChecksumMismatch);
  }
  if (!file_->commit()) {
    return netFailure(RNetResponse::kFileError, file_->errorString());
  }
  report(100);
  return RNetResponse{};
}

void PackageDownload::finish(const std::optional<RNetResponse>& failure) {
  const RNetResponse response = failure ? *failure : complete();
  // Discards the temporary file unless it was committed, before anyone looks at the path.
  file_.reset();
  progress_ = nullptr;
  const Completion completion = std::move(completion_);
  completion(response);
}

}  // namespace vexhal
