// The process around the program: one running instance, and termination signals handled on the
// event loop.
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

#include "app/ControlSocketProtocol.h"
#include "app/QSingleInstance.h"
#include "app/QTerminationSignals.h"

namespace vexhal {
namespace {

// The first claim runs and a second one asks it to show its window; a socket left by an
// instance that ended is taken over, and an unusable place still lets the program run.
TEST(SingleInstanceTest, OneInstanceRunsAndTheNextOneActivatesIt) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("instance.socket"));
  {
    QSingleInstance first(path);
    ASSERT_TRUE(first.claim());
    QSignalSpy activations(&first, &QSingleInstance::activationRequested);
    QSingleInstance second(path);
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.isListening());
    ASSERT_TRUE(activations.wait(5000));
    EXPECT_EQ(activations.count(), 1);
  }
  ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
  QSingleInstance later(path);
  EXPECT_TRUE(later.claim());
  EXPECT_TRUE(later.isListening());
  QSingleInstance nowhere(dir.filePath(QStringLiteral("missing/dir/instance.socket")));
  EXPECT_TRUE(nowhere.claim());
  EXPECT_FALSE(nowhere.isListening());
}

// The first line a peer sends decides: "activate" shows the window, any other line is handed
// on as a request with the peer to answer on, and a line past the limit closes the peer unheard.
TEST(SingleInstanceTest, ThePeersFirstLineIsAnActivationOrARequest) {
  QTemporaryDir dir;
  QSingleInstance instance(dir.filePath(QStringLiteral("instance.socket")));
  ASSERT_TRUE(instance.claim());
  const struct {
    QByteArray sent;
    int activations;
    QByteArray handedOn;  // empty: nothing handed on
    bool closedUnheard;
  } rows[] = {
      {"activate\n", 1, {}, false},
      {"{\"v\":1,\"command\":\"list\"}\n", 0, "{\"v\":1,\"command\":\"list\"}", false},
      {"hello\n", 0, "hello", false},
      {QByteArray(ControlSocketProtocol::kMaxRequestBytes + 2, 'x'), 0, {}, true},
  };
  for (const auto& row : rows) {
    QSignalSpy activations(&instance, &QSingleInstance::activationRequested);
    QSignalSpy requests(&instance, &QSingleInstance::requestReceived);
    QLocalSocket peer;
    peer.connectToServer(dir.filePath(QStringLiteral("instance.socket")));
    ASSERT_TRUE(peer.waitForConnected(5000));
    peer.write(row.sent);
    const auto decided = [&] {
      return !activations.isEmpty() || !requests.isEmpty() ||
             peer.state() == QLocalSocket::UnconnectedState;
    };
    ASSERT_TRUE(QTest::qWaitFor(decided, 5000)) << row.sent.left(40).toStdString();
    EXPECT_EQ(activations.count(), row.activations);
    if (row.handedOn.isEmpty()) {
      EXPECT_TRUE(requests.isEmpty());
    } else {
      ASSERT_EQ(requests.count(), 1);
      EXPECT_EQ(requests.at(0).at(1).toByteArray(), row.handedOn);
      auto* handed = requests.at(0).at(0).value<QLocalSocket*>();
      ASSERT_NE(handed, nullptr);
      handed->write("answer\n");
      handed->disconnectFromServer();
      ASSERT_TRUE(QTest::qWaitFor([&] { return peer.canReadLine(); }, 5000));
      EXPECT_EQ(peer.readLine(), "answer\n");
    }
    if (row.closedUnheard) {
      EXPECT_TRUE(
          QTest::qWaitFor([&] { return peer.state() == QLocalSocket::UnconnectedState; }, 5000));
    }
  }
}

// Each signal arrives on the event loop instead of ending the process; a second instance stays
// out of the way.
TEST(TerminationSignalsTest, ASignalArrivesOnTheEventLoopInsteadOfEndingTheProcess) {
  QTerminationSignals termination;
  ASSERT_TRUE(termination.isInstalled());
  EXPECT_FALSE(QTerminationSignals().isInstalled());
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    QSignalSpy requested(&termination, &QTerminationSignals::terminationRequested);
    ASSERT_EQ(std::raise(signal), 0);
    ASSERT_TRUE(requested.count() == 1 || requested.wait(5000)) << signal;
    EXPECT_EQ(requested.count(), 1);
    EXPECT_EQ(requested.at(0).at(0).toInt(), signal);
  }
}

}  // namespace
}  // namespace vexhal
