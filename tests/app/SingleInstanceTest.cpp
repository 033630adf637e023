#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/QSingleInstance.h"

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
  {
    QFile stale(path());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  }
  QSingleInstance instance(path());
  EXPECT_TRUE(instance.claim());
  EXPECT_TRUE(instance.isListening());
  QSingleInstance nowhere(dir.filePath(QStringLiteral("missing/dir/instance.socket")));
  EXPECT_TRUE(nowhere.claim());
  EXPECT_FALSE(nowhere.isListening());
}

}  // namespace
}  // namespace vexhal
