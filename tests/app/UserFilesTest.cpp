#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "section/camera_info/UpgradeState.h"

namespace vexhal {
namespace {

// Every file and folder below `dir`, relative to it, sorted.
QStringList entriesBelow(const QString& dir) {
  QStringList entries;
  QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) entries.append(QDir(dir).relativeFilePath(it.next()));
  entries.sort();
  return entries;
}

// Settings, logs and the firmware download are found by these names; a change would strand every
// user's files.
TEST(ApplicationNames, SettingsAndCachesAreKeyedOnVexhalTools) {
  QTemporaryDir scratch;
  qputenv("XDG_CACHE_HOME", QFile::encodeName(scratch.filePath("cache")));
  AppDelegate::configureApplication();
  EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("VexhalTools"));
  EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("VexhalTools"));
  EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.example.vexhal.VexhalTools"));
  // Each download replaces this file: it must not be one a user could have made.
  EXPECT_EQ(firmwarePackagePath(), scratch.filePath("cache/VexhalTools/firmware.bin"));
  qunsetenv("XDG_CACHE_HOME");
}

// The program itself, started as a user would start it (with the virtual camera), writes only
// into the user's own folders: not into the folder it was started from, not into the temporary
// folder once it has ended, and not into $HOME past the XDG folders it was given.
TEST(UserFiles, AStartedProgramWritesOnlyIntoTheUsersOwnFolders) {
  QTemporaryDir scratch;
  const QStringList own = {"config", "cache", "data", "state", "run"};
  for (const QString& dir : own + QStringList{"home", "tmp", "cwd"})
    ASSERT_TRUE(QDir(scratch.path()).mkdir(dir));
  QFile::setPermissions(scratch.filePath("run"),
                        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  QProcessEnvironment env;
  env.insert("PATH", qEnvironmentVariable("PATH"));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  for (const QString& variable : QStringList{
           "HOME=home", "XDG_CONFIG_HOME=config", "XDG_CACHE_HOME=cache", "XDG_DATA_HOME=data",
           "XDG_STATE_HOME=state", "XDG_RUNTIME_DIR=run", "TMPDIR=tmp"})
    env.insert(variable.section('=', 0, 0), scratch.filePath(variable.section('=', 1)));
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (qEnvironmentVariableIsSet(name)) env.insert(name, qEnvironmentVariable(name));
  QProcess program;
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(scratch.filePath("cwd"));
  program.start(QStringLiteral(VEXHALTOOLS_BIN), {QStringLiteral("--demo")});
  ASSERT_TRUE(program.waitForStarted());

  // Running until the home screen has the virtual camera's state: the whole start-up path.
  const QString logs = scratch.filePath("cache/VexhalTools/QLogs");
  const auto listed = [&] {
    for (const QString& name : QDir(logs).entryList(QDir::Files)) {
      QFile file(logs + '/' + name);
      // The home screen has the camera, and the start-up version check has answered (a
      // request cut off by the exit would leave Qt Network's connection objects behind).
      const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
      const qsizetype sent = text.count("RNetManager, version-check, GET ");
      if (text.contains("CameraList, getState, 0, 1") &&
          text.count("RNetManager, version-check, ") >= 2 * sent)
        return true;
    }
    return false;
  };
  const bool reachedHome = QTest::qWaitFor(listed, 30000);
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_TRUE(reachedHome) << program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);

  for (const char* empty : {"cwd", "tmp", "home"})
    EXPECT_EQ(entriesBelow(scratch.filePath(empty)), QStringList{}) << empty;
}

}  // namespace
}  // namespace vexhal
