// The doctor over a fake tree: a busy node named after the child process that holds it, a camera
// without a video node, and the search of a process table for a node's holder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include <cerrno>

#include "../device/hid/HidTestSupport.h"
#include "platform/CameraDoctor.h"
#include "platform/QCameraAccess.h"

namespace vexhal {
namespace {

constexpr std::int64_t kLocation = 0x03142000;
const QString kVideo = QStringLiteral("/dev/video2");

void touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

struct DoctorTree : ::testing::Test {
  DoctorTree() {
    test::ensureCoreApplication();
    system.root = dir.path();
    system.nodeHolder = QCameraAccessSystem::current().nodeHolder;
    system.openError = [](const QString& path) { return path.endsWith(kVideo) ? EBUSY : 0; };
    system.videoNodes = [](std::int64_t id) {
      return id == kLocation ? QStringList{kVideo} : QStringList{};
    };
    touch(system.rooted(kVideo));
  }
  USBDevice camera(std::int64_t location = kLocation) {
    return USBDevice({"/dev/hidraw3", 0xB206, 0xB215, location}, end.takeHostFd());
  }

  QTemporaryDir dir;
  QCameraAccessSystem system;
  test::CameraEnd end;
};

// The video node is busy: the child that holds it is named by the report, the text and the
// list's alert; once it is gone, no process of this user holds the node.
TEST_F(DoctorTree, ABusyNodeNamesTheProgramHoldingIt) {
  QProcess holder;
  holder.setStandardInputFile(system.rooted(kVideo));
  holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
  ASSERT_TRUE(holder.waitForStarted(5000));
  const USBDevice device = camera();

  const CameraDiagnosis diagnosis = CameraDoctor::examine(device, system);
  const QString inUse =
      QStringLiteral("The camera is in use by sleep (process %1).").arg(holder.processId());
  const QJsonObject json =
      QJsonDocument::fromJson(QJsonDocument(CameraDoctor::toJson(diagnosis)).toJson()).object();
  EXPECT_FALSE(json[QStringLiteral("usable")].toBool(true));
  const QJsonValue video = json[QStringLiteral("nodes")][1];
  EXPECT_EQ(
      video[QStringLiteral("path")].toString() + ' ' + video[QStringLiteral("verdict")].toString(),
      kVideo + QStringLiteral(" busy"));
  EXPECT_EQ(video[QStringLiteral("holder")].toObject(),
            (QJsonObject{{"pid", holder.processId()},
                         {"name", "sleep"},
                         {"otherUser", false},
                         {"text", QStringLiteral("sleep (process %1)").arg(holder.processId())}}));
  EXPECT_TRUE(video[QStringLiteral("summary")].toString().contains(inUse));
  const QString text = CameraDoctor::toText(diagnosis);
  EXPECT_TRUE(
      text.startsWith(QStringLiteral("control node /dev/hidraw3: opens\n"
                                     "video node /dev/video2: busy\n  ")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("Close sleep (process "))) << text.toStdString();
  const auto problem = QCameraAccess::diagnose(device, system);
  ASSERT_TRUE(problem && problem->holder);
  EXPECT_TRUE(QCameraAccess::explain(*problem, system).contains(inUse));

  // Streaming from a node that opens: the camera's controls stay usable, and the list lets it in.
  system.openError = [](const QString&) { return 0; };
  system.captureBusy = [](const QString& path) { return path.endsWith(kVideo); };
  const CameraDiagnosis streaming = CameraDoctor::examine(device, system);
  EXPECT_TRUE(streaming.usable());
  EXPECT_EQ(streaming.nodes[1].summary,
            QStringLiteral("The camera's video node /dev/video2 opens, but gives no picture. ") +
                inUse + QStringLiteral(" Close that program and try again."));
  EXPECT_FALSE(QCameraAccess::diagnose(device, system));

  holder.kill();
  ASSERT_TRUE(holder.waitForFinished(5000));
  EXPECT_EQ(system.holderOf(kVideo).value_or(NodeHolder{}).describe(),
            QStringLiteral("another user's program"));
}

// A camera whose video interface has no node yet is told, but still usable for its controls.
TEST_F(DoctorTree, ACameraWithoutVideoNodeIsToldButUsable) {
  const CameraDiagnosis diagnosis = CameraDoctor::examine(camera(kLocation + 1), system);
  EXPECT_TRUE(diagnosis.usable());
  EXPECT_EQ(CameraDoctor::toText(diagnosis).section('\n', 1, 2),
            QStringLiteral("video node (none): missing\n  The camera has no video node. Its video "
                           "interface may still be starting: wait a moment, or plug the camera "
                           "in again."));
}

// The holder is found by the node's inode under another name; this process, processes whose
// open files cannot be read, sockets and other devices are passed over.
TEST_F(DoctorTree, TheProcessTableIsSearchedByInode) {
  const QString proc = dir.filePath(QStringLiteral("proc"));
  const QString node = system.rooted(kVideo);
  const QString self = QString::number(::getpid());
  const QString alias = dir.filePath(QStringLiteral("alias"));
  ASSERT_TRUE(::link(QFile::encodeName(node).constData(), QFile::encodeName(alias).constData()) ==
              0);
  QDir().mkpath(proc + QStringLiteral("/100"));
  for (const auto& [fd, target] :
       std::vector<std::pair<QString, QString>>{{self + "/fd/3", node},
                                                {QStringLiteral("200/fd/0"), "/dev/null"},
                                                {QStringLiteral("200/fd/1"), "socket:[77]"},
                                                {QStringLiteral("300/fd/4"), alias}}) {
    QDir().mkpath(QFileInfo(proc + '/' + fd).path());
    ASSERT_TRUE(QFile::link(target, proc + '/' + fd));
  }
  for (const QString& pid : {self, QStringLiteral("200"), QStringLiteral("300")}) {
    QFile comm(proc + '/' + pid + QStringLiteral("/comm"));
    ASSERT_TRUE(comm.open(QIODevice::WriteOnly));
    comm.write(pid == self ? "vexhal\n" : "cheese\n");
  }
  const auto holder = findNodeHolder(node, proc);
  ASSERT_TRUE(holder);
  EXPECT_EQ(holder->describe(), QStringLiteral("cheese (process 300)"));
  touch(dir.filePath(QStringLiteral("unheld")));
  EXPECT_FALSE(findNodeHolder(dir.filePath(QStringLiteral("unheld")), proc));
}

}  // namespace
}  // namespace vexhal
