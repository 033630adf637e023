#pragma once

#include <QByteArray>
#include <QSaveFile>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "net/NetCall.h"
#include "net/RNetResponse.h"
#include "net/Sha256.h"

namespace vexhal {

// One package download streamed into a QSaveFile: the file lands on its path only when the
// whole package arrived within the size limit and matches the expected sha256; otherwise the
// temporary file is discarded and the path keeps what it held before.
class PackageDownload : public NetCall {
 public:
  using Progress = std::function<void(int percent)>;
  using Completion = std::function<void(const RNetResponse& response)>;
  // Bytes held between the network and the file, so a large package never sits in memory.
  static constexpr qint64 kReadBufferSize = 256 * 1024;
  static constexpr std::int64_t kMaxDiscarded = 64 * 1024;

  PackageDownload(QNetworkReply* reply, std::unique_ptr<QSaveFile> file,
                  std::optional<QByteArray> expectedSha256, std::int64_t maxSize,
                  std::chrono::milliseconds idleTimeout, std::chrono::milliseconds connectTimeout,
                  Progress progress, Completion completion, QObject* parent);

 private:
  void headersArrived() override;
  void dataArrived() override;
  void finish(const std::optional<RNetResponse>& failure) override;
  // Writes what has arrived; the failure that ends the download, if any.
  std::optional<RNetResponse> consume();
  void report(int percent);
  RNetResponse complete();

  std::unique_ptr<QSaveFile> file_;
  std::optional<QByteArray> expectedSha256_;
  Sha256 hash_;
  std::int64_t maxSize_;
  std::int64_t declared_ = -1;  // Content-Length, when the answer gave one
  std::int64_t received_ = 0;
  std::int64_t discarded_ = 0;
  int percent_ = -1;
  Progress progress_;
  Completion completion_;
};

}  // namespace vexhal
