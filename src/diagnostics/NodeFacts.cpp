#include "diagnostics/NodeFacts.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>

#include "diagnostics/PosixAcl.h"
#include "platform/QCameraAccessSystem.h"

namespace vexhal::diagnostics {

namespace {

QString userName(uid_t uid) {
  const struct passwd* entry = ::getpwuid(uid);
  return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid) {
  const struct group* entry = ::getgrgid(gid);
  return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

// "major:minor" of the node: its own device number, else the one sysfs gives for its name.
QString deviceNumber(const QCameraAccessSystem& system, const QString& path,
                     const struct stat& info) {
  if (S_ISCHR(info.st_mode))
    return QStringLiteral("%1:%2").arg(major(info.st_rdev)).arg(minor(info.st_rdev));
  const QString name = QFileInfo(path).fileName();
  const QString subsystem = name.startsWith(QStringLiteral("hidraw"))
                                ? QStringLiteral("hidraw")
                                : QStringLiteral("video4linux");
  QFile file(system.rooted(QStringLiteral("/sys/class/%1/%2/dev").arg(subsystem, name)));
  return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().trimmed()) : QString();
}

// The current tags ("Q:") of udev's record of the device, or its tags ("G:") from a udev that
// keeps no current ones.
QStringList udevTagsOf(const QCameraAccessSystem& system, const QString& number) {
  if (number.isEmpty()) return {};
  QFile file(system.rooted(QStringLiteral("/run/udev/data/c") + number));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList tags;
  QStringList current;
  for (const QByteArray& line : file.readAll().split('\n')) {
    if (line.startsWith("G:")) tags.append(QString::fromUtf8(line.mid(2)));
    if (line.startsWith("Q:")) current.append(QString::fromUtf8(line.mid(2)));
  }
  return current.isEmpty() ? tags : current;
}

}  // namespace

NodeFacts NodeFacts::read(const QCameraAccessSystem& system, const QString& path) {
  NodeFacts facts;
  facts.path = path;
  const QString rooted = system.rooted(path);
  struct stat info {};
  if (::stat(QFile::encodeName(rooted).constData(), &info) != 0) {
    facts.openError = errno;
    return facts;
  }
  facts.exists = true;
  facts.characterDevice = S_ISCHR(info.st_mode);
  facts.owner = userName(info.st_uid);
  facts.group = groupName(info.st_gid);
  facts.mode = QStringLiteral("0%1").arg(info.st_mode & 07777, 3, 8, QLatin1Char('0'));
  facts.userAcl = PosixAcl::userEntry(PosixAcl::read(rooted), ::getuid()).value_or(QString());
  facts.udevTags = udevTagsOf(system, deviceNumber(system, path, info));
  facts.uaccess = facts.udevTags.contains(QStringLiteral("uaccess"));
  facts.openError = system.openError ? system.openError(rooted) : 0;
  return facts;
}

QJsonObject NodeFacts::toJson() const {
  QJsonObject json{{QStringLiteral("path"), path}, {QStringLiteral("exists"), exists}};
  if (exists) {
    json.insert(QStringLiteral("characterDevice"), characterDevice);
    json.insert(QStringLiteral("owner"), owner);
    json.insert(QStringLiteral("group"), group);
    json.insert(QStringLiteral("mode"), mode);
    json.insert(QStringLiteral("userAcl"), userAcl);
    json.insert(QStringLiteral("udevTags"), QJsonArray::fromStringList(udevTags));
    json.insert(QStringLiteral("uaccess"), uaccess);
  }
  json.insert(QStringLiteral("opens"), openError == 0);
  if (openError != 0)
    json.insert(QStringLiteral("openError"), QString::fromLocal8Bit(strerror(openError)));
  return json;
}

QString NodeFacts::toText() const {
  if (!exists) return QStringLiteral("%1: missing").arg(path);
  return QStringLiteral("%1: %2, %3:%4 %5, ACL %6, udev tags %7%8")
      .arg(path,
           openError == 0 ? QStringLiteral("opens")
                          : QStringLiteral("does not open (%1)")
                                .arg(QString::fromLocal8Bit(strerror(openError))),
           owner, group, mode, userAcl.isEmpty() ? QStringLiteral("none") : userAcl,
           udevTags.isEmpty() ? QStringLiteral("none") : udevTags.join(u' '),
           uaccess ? QString() : QStringLiteral(" (no uaccess)"));
}

}  // namespace vexhal::diagnostics
