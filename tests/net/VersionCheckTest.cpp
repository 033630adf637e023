#include <QJsonArray>
#include <QJsonObject>

#include "NetTestSupport.h"
#include "net/VersionCheckCall.h"

namespace vexhal::test {
namespace {

using sim::UpdateService;

const QString kSha = QStringLiteral("9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08");

QJsonObject upgradeData() {
  return {{"needUpgrade", true},  {"forceStatus", false},     {"version", "2.1.0"},
          {"downLoadUrl", "https://127.0.0.1/pkg.bin"},       {"details", "Fixes"},
          {"packageSize", "12.5 MB"}};
}

QJsonObject answerWith(const QJsonValue& data) {
  return {{"code", 0}, {"message", "success"}, {"data", data}};
}

QJsonObject withField(QJsonObject object, const char* key, const QJsonValue& value) {
  object.insert(QLatin1StringView(key), value);
  return object;
}

QJsonObject withoutField(QJsonObject object, const char* key) {
  object.remove(QLatin1StringView(key));
  return object;
}

struct DecodeCase {
  const char* name;
  QJsonObject answer;
  std::int64_t code;
  bool hasData;
};

std::vector<DecodeCase> decodeCases() {
  return {
      {"Upgrade", answerWith(upgradeData()), 0, true},
      {"UpgradeWithSha", answerWith(withField(upgradeData(), "sha256", kSha)), 0, true},
      {"UpToDate", UpdateService::upToDate(), 0, true},
      {"DataIsText", answerWith(QStringLiteral("no update")), 0, false},
      {"DataIsArray", answerWith(QJsonArray{1, 2}), 0, false},
      {"DataIsNull", answerWith(QJsonValue::Null), 0, false},
      {"DataMissing", QJsonObject{{"code", 0}, {"message", "success"}}, 0, false},
      {"FieldMissing", answerWith(withoutField(upgradeData(), "packageSize")), 0, false},
      {"FlagAsText", answerWith(withField(upgradeData(), "needUpgrade", "true")), 0, false},
      {"VersionAsNumber", answerWith(withField(upgradeData(), "version", 2)), 0, false},
      {"ShaNotHex", answerWith(withField(upgradeData(), "sha256", "abc")), 0, false},
      {"ServiceFailure", QJsonObject{{"code", 4003}, {"message", "Unknown model"}}, 4003, false},
      {"CodeAsText", QJsonObject{{"code", "0"}, {"data", upgradeData()}},
       RNetResponse::kBadAnswer, false},
      {"CodeFraction", QJsonObject{{"code", 0.5}, {"data", upgradeData()}},
       RNetResponse::kBadAnswer, false},
      {"CodeMissing", QJsonObject{{"data", upgradeData()}}, RNetResponse::kBadAnswer, false},
      {"MessageAsNumber", QJsonObject{{"code", 0}, {"message", 7}, {"data", upgradeData()}},
       RNetResponse::kBadAnswer, false},
  };
}

class VersionDecodeTest : public NetTest,
                          public ::testing::WithParamInterface<std::tuple<DecodeCase, bool>> {};

TEST_P(VersionDecodeTest, AnswerIsDecodedOverTheWire) {
  const auto& [c, secure] = GetParam();
  service_.setAnswer(QStringLiteral("VX-1"), QStringLiteral("1.0.0"), c.answer);
  useService(manager_, secure);

  const CheckOutcome outcome = check(manager_, QStringLiteral("VX-1"), QStringLiteral("1.0.0"));

  EXPECT_EQ(outcome.calls, 1);
  EXPECT_FALSE(outcome.offMainThread);
  EXPECT_EQ(outcome.response.code, c.code);
  EXPECT_EQ(outcome.data.has_value(), c.hasData);
  if (c.code != RNetResponse::kBadAnswer && c.answer.contains("message")) {
    EXPECT_EQ(outcome.response.message, c.answer["message"].toString());  // the service's own
  } else if (c.code != 0) {
    EXPECT_FALSE(outcome.response.message.isEmpty());
  }
  ASSERT_EQ(service_.requests().size(), 1);
  EXPECT_EQ(service_.requests().front().secure, secure);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, VersionDecodeTest,
    ::testing::Combine(::testing::ValuesIn(decodeCases()), ::testing::Bool()),
    [](const auto& p) {
      return std::string(std::get<0>(p.param).name) +
             (std::get<1>(p.param) ? "Https" : "Http");
    });

TEST_F(NetTest, DecodedFieldsCarryTheServiceValues) {
  service_.setAnswer("VX-1", "1.0.0", answerWith(withField(upgradeData(), "sha256", kSha)));
  useService(manager_, true);

  const CheckOutcome outcome = check(manager_, "VX-1", "1.0.0");

  ASSERT_TRUE(outcome.data.has_value());
  EXPECT_EQ(outcome.response.message, "success");
  EXPECT_TRUE(outcome.data->needUpgrade);
  EXPECT_FALSE(outcome.data->forceStatus);
  EXPECT_EQ(outcome.data->version, "2.1.0");
  EXPECT_EQ(outcome.data->downLoadUrl, "https://127.0.0.1/pkg.bin");
  EXPECT_EQ(outcome.data->details, "Fixes");
  EXPECT_EQ(outcome.data->packageSize, "12.5 MB");
  EXPECT_EQ(outcome.data->sha256, kSha.toLower().toLatin1());
}

TEST(VersionAnswerTest, BodiesThatAreNotAJsonObjectAreRefused) {
  for (const QByteArray& body : {QByteArray("[1,2]"), QByteArray("{\"code\":0"), QByteArray(""),
                                QByteArray("<html></html>"), QByteArray("null")}) {
    const auto [response, data] = VersionCheckCall::decode(body);
    EXPECT_EQ(response.code, RNetResponse::kBadAnswer) << body.constData();
    EXPECT_FALSE(data.has_value());
  }
}

TEST_F(NetTest, QueryValuesArriveUnchanged) {
  const QString product = QStringLiteral("Vexhal Cam+Pro&x=1");
  const QString version = QStringLiteral("1.0 β/测试?#%");
  service_.setAnswer(product, version, UpdateService::upToDate());
  useService(manager_, true);

  const CheckOutcome outcome = check(manager_, product, version);

  EXPECT_EQ(outcome.response.code, 0);
  EXPECT_TRUE(outcome.data.has_value());
  ASSERT_EQ(service_.requests().size(), 1);
  const sim::ServiceRequest& request = service_.requests().front();
  EXPECT_EQ(request.path, UpdateService::kVersionCheckPath);
  EXPECT_EQ(request.queryValue("product"), product);
  EXPECT_EQ(request.queryValue("version"), version);
  EXPECT_EQ(request.query.size(), 2);
}

TEST_F(NetTest, PathOfAWholeAddressIsKept) {
  manager_.config(service_.url(QStringLiteral("/base/"), false), QStringLiteral("443"));

  const CheckOutcome outcome = check(manager_, "VX-1", "1");

  ASSERT_EQ(service_.requests().size(), 1);
  EXPECT_EQ(service_.requests().front().path, "/base/api/v1/version-check");
  EXPECT_EQ(outcome.response.code, RNetResponse::kHttpStatus);
}

TEST_F(NetTest, UnusableEndpointFailsWithoutARequest) {
  manager_.config(QStringLiteral("   "), QStringLiteral("  "));

  const CheckOutcome outcome = check(manager_, "VX-1", "1");

  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.response.code, RNetResponse::kBadAddress);
  EXPECT_FALSE(outcome.response.message.isEmpty());
  EXPECT_TRUE(service_.requests().isEmpty());
}

TEST_F(NetTest, LaterChecksGoToTheNewEndpoint) {
  sim::UpdateService other;
  ASSERT_TRUE(other.listenHttp());
  service_.setAnswer("VX-1", "*", UpdateService::upToDate());
  other.setAnswer("VX-1", "*", QJsonObject{{"code", 7}, {"message", "other"}});

  useService(manager_, false);
  EXPECT_EQ(check(manager_, "VX-1", "1").response.code, 0);
  manager_.config(QStringLiteral("http://127.0.0.1"), QString::number(other.httpPort()));
  EXPECT_EQ(check(manager_, "VX-1", "1").response.code, 7);

  EXPECT_EQ(service_.requests().size(), 1);
  EXPECT_EQ(other.requests().size(), 1);
}

struct CheckFailureCase {
  const char* name;
  UpdateService::Fault fault;
  std::int64_t code;
  const char* inMessage = "";
};

class VersionFailureTest : public NetTest,
                           public ::testing::WithParamInterface<CheckFailureCase> {};

TEST_P(VersionFailureTest, FaultGivesItsFailureClass) {
  const CheckFailureCase& c = GetParam();
  service_.setAnswer("VX-1", "*", answerWith(upgradeData()));
  service_.setFault(UpdateService::kVersionCheckPath, c.fault);
  if (c.fault == UpdateService::Fault::Slow) {
    manager_.setIdleTimeout(std::chrono::milliseconds(300));  // the others keep the default
  }
  if (c.fault == UpdateService::Fault::Trickle) {
    service_.setSlowDelay(std::chrono::milliseconds(50));  // each byte well within the idle timeout
    manager_.setCheckDeadline(std::chrono::milliseconds(300));
  }
  useService(manager_, true);

  const CheckOutcome outcome = check(manager_, "VX-1", "1");

  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.response.code, c.code);
  EXPECT_FALSE(outcome.response.message.isEmpty());
  EXPECT_TRUE(outcome.response.message.contains(QString::fromUtf8(c.inMessage)));
  EXPECT_FALSE(outcome.data.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VersionFailureTest,
    ::testing::Values(
        CheckFailureCase{"ServerError", UpdateService::Fault::ServerError, RNetResponse::kHttpStatus,
                         "500"},
        CheckFailureCase{"Garbage", UpdateService::Fault::Garbage, RNetResponse::kBadAnswer},
        CheckFailureCase{"Damaged", UpdateService::Fault::Damaged, RNetResponse::kBadAnswer},
        CheckFailureCase{"Truncated", UpdateService::Fault::Truncated, RNetResponse::kBadAnswer},
        CheckFailureCase{"Slow", UpdateService::Fault::Slow, RNetResponse::kTimeout},
        CheckFailureCase{"DropMidway", UpdateService::Fault::DropMidway,
                         RNetResponse::kNoConnection},
        CheckFailureCase{"Trickle", UpdateService::Fault::Trickle, RNetResponse::kTimeout},
        CheckFailureCase{"DeclaredTooLarge", UpdateService::Fault::HugeLength,
                         RNetResponse::kBadAnswer}),
    [](const auto& p) { return std::string(p.param.name); });

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

  const CheckOutcome outcome = check(manager_, "VX-1", "1");
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

TEST_F(NetTest, UntrustedCertificateIsTlsFailure) {
  RNetManager stranger;  // trusts the system's authorities only
  service_.setAnswer("VX-1", "*", UpdateService::upToDate());
  useService(stranger, true);

  const CheckOutcome outcome = check(stranger, "VX-1", "1");

  EXPECT_EQ(outcome.response.code, RNetResponse::kTlsFailure);
  EXPECT_FALSE(outcome.data.has_value());
  EXPECT_TRUE(service_.requests().isEmpty());
}

TEST_F(NetTest, AuthorityThatIsNotPemIsRefused) {
  EXPECT_FALSE(manager_.addTrustedAuthority("not a certificate"));
  EXPECT_FALSE(manager_.addTrustedAuthority(testCertFile("server.key")));
}

}  // namespace
}  // namespace vexhal::test
