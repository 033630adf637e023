#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

#include "app/QTerminationSignals.h"

namespace vexhal {
namespace {

class TerminationSignalsTest : public testing::TestWithParam<int> {};

TEST_P(TerminationSignalsTest, ASignalArrivesOnTheEventLoopInsteadOfEndingTheProcess) {
  QTerminationSignals termination;
  ASSERT_TRUE(termination.isInstalled());
  QSignalSpy requested(&termination, &QTerminationSignals::terminationRequested);
  ASSERT_EQ(std::raise(GetParam()), 0);
  ASSERT_TRUE(requested.count() == 1 || requested.wait(5000));
  EXPECT_EQ(requested.count(), 1);
  EXPECT_EQ(requested.at(0).at(0).toInt(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignalsTest, testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(TerminationSignalsOnceTest, ASecondInstanceStaysOutOfTheWay) {
  QTerminationSignals first;
  QTerminationSignals second;
  EXPECT_TRUE(first.isInstalled());
  EXPECT_FALSE(second.isInstalled());
}

}  // namespace
}  // namespace vexhal
