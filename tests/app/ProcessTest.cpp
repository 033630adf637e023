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

struct SingleInstanceTest : testing::Test {
  QString path() const { return dir.filePath(QStringLiteral("instance.socket")); }
  QTemporaryDir dir;
};

TEST_F(SingleInstanceTest, TheFirstClaimRunsAndASecondOneAsksItToShowItsWindow) {
  {
    QSingleInstance first(path());
    ASSERT_TRUE(first.claim());
    EXPECT_TRUE(first.isListening());
    QSignalSpy activations(&first, &QSingleInstance::activationRequested);
    QSingleInstance second(path());
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.isListening());
    ASSERT_TRUE(activations.wait(5000));
    EXPECT_EQ(activations.count(), 1);
  }
  QSingleInstance later(path());  // after the running instance has ended
  EXPECT_TRUE(later.claim());
}

// A socket left by an instance that ended is taken over; an unusable place still lets the
// program run.
TEST_F(SingleInstanceTest, AStaleSocketIsTakenOverAndAnUnusablePlaceStillRuns) {
  ASSERT_TRUE(QFile(path()).open(QIODevice::WriteOnly));
  QSingleInstance instance(path());
  EXPECT_TRUE(instance.claim());
  EXPECT_TRUE(instance.isListening());
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
