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

TEST_F(SingleInstanceTest, ASocketLeftByAnInstanceThatEndedIsTakenOver) {
  {
    QFile stale(path());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  }
  QSingleInstance instance(path());
  EXPECT_TRUE(instance.claim());
  EXPECT_TRUE(instance.isListening());
}

TEST_F(SingleInstanceTest, AfterTheRunningInstanceEndsTheNextLaunchRuns) {
  {
    QSingleInstance earlier(path());
    ASSERT_TRUE(earlier.claim());
  }
  QSingleInstance later(path());
  EXPECT_TRUE(later.claim());
}

TEST_F(SingleInstanceTest, AnUnusablePlaceStillLetsTheProgramRun) {
  QSingleInstance instance(dir.filePath(QStringLiteral("missing/dir/instance.socket")));
  EXPECT_TRUE(instance.claim());
  EXPECT_FALSE(instance.isListening());
}

TEST(SingleInstancePathTest, LivesInAPerUserDirectory) {
  const QString path = QSingleInstance::defaultServerPath();
  EXPECT_TRUE(path.endsWith(QStringLiteral("/vexhaltools.socket")));
  EXPECT_TRUE(QDir::isAbsolutePath(path));
}

}  // namespace
}  // namespace vexhal
