// The process around the program: one running instance, and termination signals handled on the
// event loop.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

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
