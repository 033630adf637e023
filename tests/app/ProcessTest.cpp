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

// The first claim runs and each later one asks it to show its window, handing over the
// launcher's Wayland token and X11 startup id as they were (or nothing); a socket left by an
// instance that ended is taken over, and an unusable place still lets the program run.
TEST(SingleInstanceTest, OneInstanceRunsAndTheNextOneActivatesItWithItsLaunchTokens) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("instance.socket"));
  {
    QSingleInstance first(path);
    ASSERT_TRUE(first.claim());
    const QStringList launches[] = {{QString(), QString()},
                                    {QStringLiteral("wl tok=1%\u00e9"), QString()},
                                    {QString(), QStringLiteral("launcher-7-host_TIME1234")}};
    for (const QStringList& tokens : launches) {
      QSignalSpy activations(&first, &QSingleInstance::activationRequested);
      QSingleInstance second(path);
      EXPECT_FALSE(second.claim(tokens.at(0), tokens.at(1)));
      EXPECT_FALSE(second.isListening());
      ASSERT_TRUE(activations.wait(5000));
      ASSERT_EQ(activations.count(), 1);
      EXPECT_EQ(activations.at(0).at(0).toString(), tokens.at(0));
      EXPECT_EQ(activations.at(0).at(1).toString(), tokens.at(1));
    }
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
