// Feeds an answer to a package download (PackageDownload) through a stand-in network reply.
// The input is text: head lines up to the first empty line, then the body. A head line is a
// status line ("HTTP/1.1 302 Found"), a header ("Content-Length: 12"), or one of two settings of
// the download itself: "@max N" (the size limit) and "@sha256 HEX" (the expected checksum). Each
// status line starts a new answer head; a 3xx head with a Location is followed as a redirection.
// The body arrives in two pieces.

#include <QDir>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QFile>
#include <QNetworkReply>
#include <QPointer>
#include <QSaveFile>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ScratchFolder.h"
#include "net/PackageDownload.h"

namespace {

using vexhal::PackageDownload;
using vexhal::RNetResponse;

// A reply whose head, body and end are handed to it by the harness, synchronously.
class StandInReply : public QNetworkReply {
 public:
  StandInReply() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }

  void abort() override {
    if (!isFinished()) {
      setError(OperationCanceledError, QStringLiteral("aborted"));
      end();
    }
  }
  void head(int status, const std::vector<std::pair<QByteArray, QByteArray>>& headers) {
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status);
    for (const auto& [name, value] : headers) {
      setRawHeader(name, value);
    }
    Q_EMIT metaDataChanged();
  }
  void follow(const QUrl& target) { Q_EMIT redirected(target); }
  void deliver(const QByteArray& chunk) {
    body_ += chunk;
    Q_EMIT readyRead();
  }
  void end() {
    if (error() == NoError && attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400) {
      setError(ContentNotFoundError, QStringLiteral("refused"));
    }
    setFinished(true);
    Q_EMIT finished();
  }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 n = std::min<qint64>(maxSize, body_.size() - read_);
    std::memcpy(data, body_.constData() + read_, static_cast<std::size_t>(n));
    read_ += n;
    return n;
  }
  qint64 bytesAvailable() const override { return body_.size() - read_; }

 private:
  QByteArray body_;
  qint64 read_ = 0;
};

struct Answer {
  struct Head {
    int status = 0;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    QByteArray location;
  };
  std::vector<Head> heads;
  QByteArray body;
  std::int64_t maxSize = 4096;
  std::optional<QByteArray> sha256;
};

Answer parse(const QByteArray& input) {
  Answer answer;
  qsizetype pos = 0;
  while (pos < input.size()) {
    qsizetype eol = input.indexOf('\n', pos);
    if (eol < 0) {
      eol = input.size();
    }
    const QByteArray line = input.mid(pos, eol - pos).trimmed();
    pos = eol + 1;
    if (line.isEmpty()) {
      answer.body = input.mid(pos);
      break;
    }
    if (line.startsWith("HTTP/")) {
      answer.heads.push_back({line.split(' ').value(1).toInt(), {}, {}});
    } else if (line.startsWith("@max ")) {
      answer.maxSize = line.mid(5).toLongLong();
    } else if (line.startsWith("@sha256 ")) {
      answer.sha256 = line.mid(8);
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0 && !answer.heads.empty()) {
      const QByteArray name = line.left(colon).trimmed();
      const QByteArray value = line.mid(colon + 1).trimmed();
      (name.compare("Location", Qt::CaseInsensitive) == 0
           ? answer.heads.back().location
           : answer.heads.back().headers.emplace_back(name, value).second) = value;
    }
  }
  return answer;
}

QDir folder;
QString target;
QByteArray onDisk = "what the path held before";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  folder = QDir(QString::fromStdString(makeScratchFolder("download_headers_fuzz")));
  target = folder.filePath(QStringLiteral("package.bin"));
  QFile file(target);
  if (!file.open(QIODevice::WriteOnly) || file.write(onDisk) != onDisk.size()) {
    __builtin_trap();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Answer answer =
      parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  auto file = std::make_unique<QSaveFile>(target);
  if (!file->open(QIODevice::WriteOnly)) {
    __builtin_trap();
  }
  int completions = 0;
  RNetResponse response;
  int lastPercent = -1;
  QPointer<StandInReply> reply = new StandInReply;
  new PackageDownload(
      reply, std::move(file), answer.sha256, answer.maxSize, std::chrono::hours(1),
      std::chrono::hours(1),
      [&lastPercent](int percent) {
        // Progress only grows and stays a percentage.
        if (percent <= lastPercent || percent < 0 || percent > 100) {
          __builtin_trap();
        }
        lastPercent = percent;
      },
      [&](const RNetResponse& r) {
        ++completions;
        response = r;
      },
      nullptr);
  for (const Answer::Head& head : answer.heads) {
    if (reply) {
      reply->head(head.status, head.headers);
    }
    if (reply && head.status >= 300 && head.status < 400 && !head.location.isEmpty()) {
      reply->follow(QUrl(QString::fromLatin1(head.location)));
    }
  }
  for (const QByteArray& piece :
       {answer.body.left(answer.body.size() / 2), answer.body.mid(answer.body.size() / 2)}) {
    if (reply) {
      reply->deliver(piece);
    }
  }
  const int status = answer.heads.empty() ? 0 : answer.heads.back().status;
  QByteArray declared;
  QByteArray encoding;
  if (reply) {
    declared =
        reply->header(QNetworkRequest::ContentLengthHeader).isValid()
            ? QByteArray::number(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong())
            : QByteArray();
    encoding = reply->rawHeader("Content-Encoding").trimmed();
    reply->end();
  }
  // Every posted event, not only the deletions: events left queued pile up from run to run, and
  // each delivery of deletions walked the whole pile (the runs slowed tenfold within an hour).
  QCoreApplication::sendPostedEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (completions != 1 || reply) {
    __builtin_trap();
  }
  if (response.ok()) {
    // A package lands only whole, within the limit, as declared and as expected.
    const bool fits =
        status == 200 && answer.body.size() <= answer.maxSize &&
        (declared.isEmpty() || declared.toLongLong() == answer.body.size()) &&
        (encoding.isEmpty() || encoding.compare("identity", Qt::CaseInsensitive) == 0) &&
        (!answer.sha256 ||
         answer.sha256->toLower() ==
             QCryptographicHash::hash(answer.body, QCryptographicHash::Sha256).toHex()) &&
        lastPercent == 100;
    if (!fits) {
      __builtin_trap();
    }
    onDisk = answer.body;
  }
  QFile file2(target);
  if (!file2.open(QIODevice::ReadOnly) || file2.readAll() != onDisk) {
    __builtin_trap();
  }
  return 0;
}
