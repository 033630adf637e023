#pragma once

#include <QDir>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <set>

#include "UpdateService.h"
#include "common/EventLoop.h"
#include "net/RNetManager.h"

namespace vexhal::test {

using sim::UpdateService;

inline QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray testCertFile(const char* name) {
  return readFile(QStringLiteral(VEXHAL_TEST_CERT_DIR "/") + QLatin1StringView(name));
}

struct Outcome {
  void complete(const RNetResponse& answer) {
    ++calls;
    threads.insert(QThread::currentThread());
    response = answer;
  }
  int calls = 0;
  std::set<QThread*> threads;  // where the callbacks ran
  RNetResponse response;
  std::optional<RVersionUpgradeInfo> data;  // of a version check
  std::vector<int> progress;                // of a download
};

// A local update service on HTTP and HTTPS and a client that trusts its test authority, with a
// scratch directory for downloads.
class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.isValid());
    ASSERT_TRUE(service_.listenHttp());
    ASSERT_TRUE(service_.listenHttps(QSslCertificate(testCertFile("server.pem"), QSsl::Pem),
                                     QSslKey(testCertFile("server.key"), QSsl::Rsa, QSsl::Pem)));
    ASSERT_TRUE(manager_.addTrustedAuthority(testCertFile("ca.pem")));
  }

  // Points `manager` at the service: https by host and port, or http as a whole address.
  void useService(RNetManager& manager, bool secure) {
    if (secure)
      manager.config(QStringLiteral("127.0.0.1"), QString::number(service_.httpsPort()));
    else
      manager.config(service_.url(QString(), false), QString());
  }

  // Runs one call to its completion, which must come later, once, on this thread.
  Outcome await(const std::function<void(std::shared_ptr<Outcome>)>& call) {
    auto outcome = std::make_shared<Outcome>();
    call(outcome);
    EXPECT_EQ(outcome->calls, 0) << "completion ran inside the call";
    EXPECT_TRUE(waitUntil([&] { return outcome->calls > 0; }));
    pumpEvents(16);  // a second completion would come now
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_EQ(outcome->threads, std::set{QThread::currentThread()});
    return *outcome;
  }

  Outcome check(RNetManager& manager, const QString& product, const QString& version) {
    return await([&](std::shared_ptr<Outcome> outcome) {
      manager.needVersionUpgrade(product, version,
                                 [outcome](const auto& response, const auto& data) {
                                   outcome->complete(response);
                                   outcome->data = data;
                                 });
    });
  }

  Outcome download(RNetManager& manager, const QString& url, const QString& path,
                   std::optional<std::optional<QByteArray>> sha256 = std::nullopt) {
    return await([&](std::shared_ptr<Outcome> outcome) {
      auto progress = [outcome](int percent) {
        outcome->threads.insert(QThread::currentThread());
        outcome->progress.push_back(percent);
      };
      auto complete = [outcome](const RNetResponse& response) { outcome->complete(response); };
      if (sha256)
        manager.download(url, path, *sha256, progress, complete);
      else
        manager.download(url, path, progress, complete);
    });
  }

  QString scratchPath(const QString& name) const { return scratch_.filePath(name); }
  // Every file name in the scratch directory, to see that no temporary file stayed behind.
  QStringList scratchFiles() const {
    return QDir(scratch_.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  }
  // A port on which nothing listens.
  static quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
  }

  struct AppFirst {
    AppFirst() { ensureCoreApplication(); }
  } appFirst_;  // network objects need the application object before they are made
  QTemporaryDir scratch_;
  UpdateService service_;
  RNetManager manager_;
};

}  // namespace vexhal::test
