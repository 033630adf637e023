// The socket route against a scripted program: the request goes out as one line, progress and
// the reply come back, and a program that closes, answers nonsense or falls silent gives
// "no answer" rather than a wait without end.
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "app/ControlSocketProtocol.h"
#include "cli/SocketRoute.h"

namespace vexhal::cli {
namespace {

using namespace std::chrono_literals;

// What the scripted program does once the request line is in: write `lines`, then close the
// connection or keep it open and say nothing more.
struct Script {
  QList<QByteArray> lines;
  bool close = true;
};

struct Outcome {
  std::optional<control::ControlRequest> received;
  QList<int> progress;
  std::optional<control::ControlReply> reply;
};

Outcome runAgainst(const Script& script, const control::ControlRequest& request) {
  QTemporaryDir dir;
  const QString path = dir.filePath("program.socket");
  QLocalServer server;
  EXPECT_TRUE(server.listen(path));
  Outcome outcome;
  QPointer<QLocalSocket> peer;
  QObject::connect(&server, &QLocalServer::newConnection, [&] {
    peer = server.nextPendingConnection();
    QObject::connect(peer, &QLocalSocket::readyRead, [&] {
      if (!peer->canReadLine()) return;
      QString error;
      outcome.received =
          control::requestFromJson(QJsonDocument::fromJson(peer->readLine()).object(), &error);
      for (const QByteArray& line : script.lines) peer->write(line);
      if (script.close) peer->disconnectFromServer();
    });
  });
  SocketRoute route(path);
  EXPECT_TRUE(route.connectToProgram(1000ms));
  route.run(
      request, [&](int percent) { outcome.progress << percent; },
      [&](const control::ControlReply& reply) {
        EXPECT_FALSE(outcome.reply.has_value()) << "done called twice";
        outcome.reply = reply;
      });
  EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.reply.has_value(); }, 10000));
  return outcome;
}

QByteArray replyLine(const control::ControlReply& reply) {
  return ControlSocketProtocol::line(control::toJson(reply));
}

TEST(SocketRoute, RelaysProgressAndTheReply) {
  control::ControlRequest request;
  request.command = control::ControlRequest::Command::Firmware;
  request.file = "/tmp/fw.bin";
  request.camera = "4C2309A01234";
  control::ControlReply refused;
  refused.exit = control::ExitCode::Failed;
  refused.code = 5;
  refused.message = "the camera refused the package";
  const Outcome outcome =
      runAgainst({{ControlSocketProtocol::progressLine(10), ControlSocketProtocol::workingLine(),
                   ControlSocketProtocol::progressLine(60), replyLine(refused)}},
                 request);
  ASSERT_TRUE(outcome.received.has_value());
  EXPECT_TRUE(*outcome.received == request);
  EXPECT_EQ(outcome.progress, (QList<int>{10, 60}));
  ASSERT_TRUE(outcome.reply.has_value());
  EXPECT_EQ(outcome.reply->exit, control::ExitCode::Failed);
  EXPECT_EQ(outcome.reply->code, 5);
  EXPECT_EQ(outcome.reply->message, refused.message);

  control::ControlReply values;
  values.result = QJsonObject{{"angle", 90}};
  const Outcome got = runAgainst({{replyLine(values)}, false}, {});
  ASSERT_TRUE(got.reply.has_value());
  EXPECT_EQ(got.reply->exit, control::ExitCode::Done);
  EXPECT_EQ(got.reply->result, values.result);
}

// A program that closes without a reply, answers something unreadable or stays silent past the
// request's timeout gives exit 4.
TEST(SocketRoute, AProgramThatDoesNotAnswerGivesNoAnswer) {
  control::ControlRequest quick;
  quick.timeout = 100ms;
  const struct {
    const char* what;
    Script script;
  } rows[] = {
      {"closes at once", {}},
      {"closes after progress", {{ControlSocketProtocol::progressLine(5)}}},
      {"answers garbage", {{"hello\n"}}},
      {"answers a non-reply object", {{"{\"v\":1,\"exit\":\"late\"}\n"}}},
      {"stays silent", {{}, false}},
      {"only says it is working", {{ControlSocketProtocol::workingLine()}, false}},
  };
  for (const auto& row : rows) {
    const Outcome outcome = runAgainst(row.script, quick);
    ASSERT_TRUE(outcome.reply.has_value()) << row.what;
    EXPECT_EQ(outcome.reply->exit, control::ExitCode::NoAnswer) << row.what;
    EXPECT_FALSE(outcome.reply->message.isEmpty()) << row.what;
  }
}

// Where no program listens (no socket, or one left by a program that ended) the route is not
// taken.
TEST(SocketRoute, NoProgramNoRoute) {
  QTemporaryDir dir;
  EXPECT_FALSE(SocketRoute(dir.filePath("none.socket")).connectToProgram(1000ms));
  const QString stale = dir.filePath("stale.socket");
  ASSERT_TRUE(QFile(stale).open(QIODevice::WriteOnly));
  EXPECT_FALSE(SocketRoute(stale).connectToProgram(1000ms));
}

}  // namespace
}  // namespace vexhal::cli
