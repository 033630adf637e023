#include "platform/NodeHolder.h"

#include <QDeadlineTimer>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>

namespace vexhal {

namespace {

// A scan of /proc reads a few thousand links; this bounds it on a machine under heavy load.
constexpr int kScanBudgetMs = 2000;

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isNumber(const char* name) {
  if (*name == '\0') {
    return false;
  }
  for (; *name != '\0'; ++name) {
    if (*name < '0' || *name > '9') {
      return false;
    }
  }
  return true;
}

// Whether the open file behind `link` is the node. Only links naming a file are followed: a
// character device is compared by its device number and followed only below /dev, so that a
// stale network mount among other programs' files cannot stall the scan.
bool isNode(const QByteArray& link, const struct stat& node) {
  std::array<char, 4096> target{};
  const ssize_t length = ::readlink(link.constData(), target.data(), target.size() - 1);
  if (length <= 0 || target[0] != '/') {
    return false;  // sockets, pipes and anonymous inodes
  }
  const bool device = S_ISCHR(node.st_mode);
  if (device && std::strncmp(target.data(), "/dev/", 5) != 0) {
    return false;
  }
  struct stat open {};
  if (::stat(link.constData(), &open) != 0) {
    return false;
  }
  return device ? S_ISCHR(open.st_mode) && open.st_rdev == node.st_rdev
                : open.st_dev == node.st_dev && open.st_ino == node.st_ino;
}

// Whether the process whose folder is `process` has the node open; false when its open files
// cannot be read.
bool holds(const QByteArray& process, const struct stat& node, const QDeadlineTimer& deadline) {
  const QByteArray fdDir = process + "/fd";
  const DirHandle dir(::opendir(fdDir.constData()));
  if (!dir) {
    return false;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    if (deadline.hasExpired()) {
      return false;
    }
    if (isNumber(entry->d_name) && isNode(fdDir + '/' + entry->d_name, node)) {
      return true;
    }
  }
  return false;
}

QString commandName(const QByteArray& process) {
  QFile comm(QString::fromLocal8Bit(process + "/comm"));
  if (!comm.open(QIODevice::ReadOnly)) {
    return {};
  }
  return QString::fromLocal8Bit(comm.readLine(256)).trimmed();
}

}  // namespace

QString NodeHolder::describe() const {
  if (otherUser) {
    return QStringLiteral("another user's program");
  }
  const QString process = QStringLiteral("process %1").arg(pid);
  return name.isEmpty() ? process : QStringLiteral("%1 (%2)").arg(name, process);
}

std::optional<NodeHolder> findNodeHolder(const QString& nodePath, const QString& procRoot) {
  struct stat node {};
  if (::stat(QFile::encodeName(nodePath).constData(), &node) != 0) {
    return std::nullopt;
  }
  const QByteArray root = QFile::encodeName(procRoot);
  const DirHandle dir(::opendir(root.constData()));
  if (!dir) {
    return std::nullopt;
  }
  // This program's own handles (its controls keep the video node open) name no other program.
  const QByteArray self = QByteArray::number(::getpid());
  const QDeadlineTimer deadline(kScanBudgetMs);
  while (const dirent* entry = ::readdir(dir.get())) {
    if (deadline.hasExpired()) {
      break;
    }
    if (!isNumber(entry->d_name) || self == entry->d_name) {
      continue;
    }
    const QByteArray process = root + '/' + entry->d_name;
    if (holds(process, node, deadline)) {
      return NodeHolder{QByteArray(entry->d_name).toLongLong(), commandName(process), false};
    }
  }
  return std::nullopt;
}

}  // namespace vexhal
