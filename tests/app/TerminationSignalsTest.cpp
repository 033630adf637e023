#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

#include "app/QTerminationSignals.h"

namespace vexhal {
namespace {

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
