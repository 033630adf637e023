#include <QJsonDocument>
#include <QJsonObject>

#include "NetTestSupport.h"
#include "net/VersionCheckCall.h"

namespace vexhal::test {
namespace {

const QString kSha =
    QStringLiteral("9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08");

QJsonObject upgradeData(const char* key = nullptr, const QJsonValue& value = {}) {
  QJsonObject data{{"needUpgrade", true}, {"forceStatus", false},
                   {"version", "2.1.0"},  {"downLoadUrl", "https://127.0.0.1/pkg.bin"},
                   {"details", "Fixes"},  {"packageSize", "12.5 MB"}};
  if (key != nullptr && value.isUndefined()) data.remove(QLatin1StringView(key));
  if (key != nullptr && !value.isUndefined()) data.insert(QLatin1StringView(key), value);
  return data;
}

QByteArray answerWith(const QJsonValue& data) {
  return QJsonDocument(QJsonObject{{"code", 0}, {"message", "success"}, {"data", data}}).toJson();
}

QByteArray json(const QJsonObject& object) { return QJsonDocument(object).toJson(); }

TEST(VersionAnswerTest, BodiesAreDecodedOrRefused) {
  constexpr std::int64_t kBad = RNetResponse::kBadAnswer;
  const struct {
    const char* name;
    QByteArray body;
    std::int64_t code;
    bool hasData;
    const char* message;  // the service's own, or nullptr: any text of ours
  } rows[] = {
      // clang-format off
      {"Upgrade", answerWith(upgradeData()), 0, true, "success"},
      {"DataIsText", answerWith(QStringLiteral("no update")), 0, false, "success"},
      {"FieldMissing", answerWith(upgradeData("packageSize")), 0, false, "success"},
      {"FlagAsText", answerWith(upgradeData("needUpgrade", "true")), 0, false, "success"},
      {"ShaNotHex", answerWith(upgradeData("sha256", "abc")), 0, false, "success"},
      {"ServiceFailure", json({{"code", 4003}, {"message", "Unknown model"}}), 4003, false, "Unknown model"},
      {"CodeAsText", json({{"code", "0"}, {"data", upgradeData()}}), kBad, false, nullptr},
      {"CodeFraction", json({{"code", 0.5}, {"data", upgradeData()}}), kBad, false, nullptr},
      {"MessageAsNumber", json({{"code", 0}, {"message", 7}, {"data", upgradeData()}}), kBad, false, nullptr},
      {"Unclosed", "{\"code\":0", kBad, false, nullptr},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const auto [response, data] = VersionCheckCall::decode(row.body);
    EXPECT_EQ(response.code, row.code);
    EXPECT_EQ(data.has_value(), row.hasData);
    if (row.message != nullptr) {
      EXPECT_EQ(response.message, QString::fromUtf8(row.message));
    } else {
      EXPECT_FALSE(response.message.isEmpty());
    }
  }
  const auto [response, data] = VersionCheckCall::decode(answerWith(upgradeData("sha256", kSha)));
  ASSERT_TRUE(data.has_value());
  EXPECT_TRUE(data->needUpgrade && !data->forceStatus);
  EXPECT_EQ(QStringList({data->version, data->downLoadUrl, data->details, data->packageSize}),
            QStringList({"2.1.0", "https://127.0.0.1/pkg.bin", "Fixes", "12.5 MB"}));
  EXPECT_EQ(data->sha256, kSha.toLower().toLatin1());
}

// Query values arrive unchanged at the configured endpoint.
TEST_F(NetTest, ChecksGoToTheConfiguredEndpointWithTheQueryUnchanged) {
  const QString product = QStringLiteral("Vexhal Cam+Pro&x=1");
  const QString version = QStringLiteral("1.0 β/测试?#%");
  service_.setAnswer(product, version, UpdateService::upToDate());
  useService(manager_, true);
  EXPECT_EQ(check(manager_, product, version).response.code, 0);
  ASSERT_EQ(service_.requests().size(), 1);
  const sim::ServiceRequest request = service_.requests().front();
  EXPECT_TRUE(request.secure);
  EXPECT_EQ(request.path, UpdateService::kVersionCheckPath);
  EXPECT_EQ(request.queryValue("product"), product);
  EXPECT_EQ(request.queryValue("version"), version);
  EXPECT_EQ(request.query.size(), 2);
}

// An answer declared too large is refused at its headers; one trickled byte by byte, each well
// within the idle timeout, ends at the check's deadline.
TEST_F(NetTest, OversizedOrTrickledAnswersAreRefused) {
  service_.setAnswer("VX-1", "*",
                     QJsonObject{{"code", 0}, {"message", "success"}, {"data", upgradeData()}});
  useService(manager_, true);
  service_.setFault(UpdateService::kVersionCheckPath, UpdateService::Fault::HugeLength);
  EXPECT_EQ(check(manager_, "VX-1", "1").response.code, RNetResponse::kBadAnswer);
  service_.setFault(UpdateService::kVersionCheckPath, UpdateService::Fault::Trickle);
  service_.setSlowDelay(std::chrono::milliseconds(50));
  manager_.setCheckDeadline(std::chrono::milliseconds(300));
  const Outcome trickled = check(manager_, "VX-1", "1");
  EXPECT_EQ(trickled.response.code, RNetResponse::kTimeout);
  EXPECT_FALSE(trickled.data.has_value());
}

TEST_F(NetTest, EndlessAnswerIsCutOffNearTheCap) {
  // Served from a thread of its own, so the answer pours in as fast as a distant server's would.
  QThread thread;
  thread.start();
  auto* flood = new UpdateService;
  flood->moveToThread(&thread);
  const auto onFlood = [&](const std::function<void()>& work) {
    QMetaObject::invokeMethod(flood, work, Qt::BlockingQueuedConnection);
  };
  QString url;
  onFlood([&] {
    if (flood->listenHttp()) {
      flood->setFault(UpdateService::kVersionCheckPath, UpdateService::Fault::Flood);
      url = flood->url(QString(), false);
    }
  });
  EXPECT_FALSE(url.isEmpty());
  manager_.config(url, QString());

  const Outcome outcome = check(manager_, "VX-1", "1");
  qint64 sent = 0;
  onFlood([&] {
    sent = flood->bodyBytesSent();
    delete flood;
  });
  thread.quit();
  thread.wait();

  EXPECT_EQ(outcome.response.code, RNetResponse::kBadAnswer);
  EXPECT_LT(sent, UpdateService::kFloodSize / 8);
}

// Refused, or never answered (the handshake stays unanswered, as for a host that cannot be
// reached): told as no connection, the latter once the connect timeout is over.
TEST_F(NetTest, UnreachableServiceIsNoConnection) {
  manager_.config(QStringLiteral("127.0.0.1"), QString::number(closedPort()));
  EXPECT_EQ(check(manager_, "VX-1", "1").response.code, RNetResponse::kNoConnection);

  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  manager_.setConnectTimeout(std::chrono::milliseconds(300));  // the idle timeout stays at 15 s
  manager_.config(QStringLiteral("127.0.0.1"), QString::number(silent.serverPort()));
  EXPECT_EQ(check(manager_, "VX-1", "1").response.code, RNetResponse::kNoConnection);
}

// Keeps the lines it hears apart from itself, so that they outlive it.
class RecordingDelegate : public RNetManagerDelegate {
 public:
  void onPrintLog(RNetManager&, const QString& message) override { lines->append(message); }
  const std::shared_ptr<QStringList> lines = std::make_shared<QStringList>();
};

TEST_F(NetTest, UntrustedCertificateIsATlsFailureThatIsLoggedAndKeepsThePreviousFile) {
  RNetManager stranger;  // trusts the system's authorities only
  auto delegate = std::make_shared<RecordingDelegate>();
  stranger.addDelegate(delegate);
  service_.setAnswer("VX-1", "*", UpdateService::upToDate());
  service_.addPackage("/p.bin", "package");
  useService(stranger, true);
  const QString save = scratchPath("p.bin");
  ASSERT_TRUE(writeFile(save, "kept"));

  const Outcome checked = check(stranger, "VX-1", "1");
  const Outcome downloaded = download(stranger, service_.url("/p.bin", true), save);

  EXPECT_EQ(checked.response.code, RNetResponse::kTlsFailure);
  EXPECT_FALSE(checked.data.has_value());
  EXPECT_EQ(downloaded.response.code, RNetResponse::kTlsFailure);
  EXPECT_EQ(readFile(save), "kept");
  EXPECT_EQ(scratchFiles(), QStringList{"p.bin"});
  EXPECT_TRUE(service_.requests().isEmpty());
  EXPECT_FALSE(delegate->lines->filter("RNetManager, TLS, ").isEmpty());
}

TEST_F(NetTest, ManagerGoneDropsCallsWithoutCompletions) {
  service_.setFault(UpdateService::kVersionCheckPath, UpdateService::Fault::Slow);
  service_.addPackage("/p.bin", QByteArray(1024, 'p'));
  service_.setFault("/p.bin", UpdateService::Fault::Slow);
  auto completions = std::make_shared<int>(0);
  {
    RNetManager doomed;
    useService(doomed, false);
    doomed.needVersionUpgrade("VX-1", "1",
                              [completions](const auto&, const auto&) { ++*completions; });
    doomed.download(service_.url("/p.bin", false), scratchPath("p.bin"), nullptr,
                    [completions](const RNetResponse&) { ++*completions; });
    ASSERT_TRUE(waitUntil([&] { return service_.requests().size() == 2; }));
  }
  pumpEvents(16);
  EXPECT_EQ(*completions, 0);
  EXPECT_TRUE(scratchFiles().isEmpty());
}

}  // namespace
}  // namespace vexhal::test
