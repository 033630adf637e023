#include "platform/QCameraAccessSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <grp.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/UniqueFd.h"
#include "device/uvc/linux/V4l2UvcTransportFactory.h"

namespace vexhal {

namespace {

constexpr const char* kAppId = "org.example.vexhal.VexhalTools";

// The node opened for reading and writing, as the program's own use opens it.
UniqueFd openNode(const QString& path) {
  return UniqueFd(
      ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
}

int openErrorOf(const QString& path) { return openNode(path).isValid() ? 0 : errno; }

bool captureBusyAt(const QString& path) {
  const UniqueFd fd = openNode(path);
  // Asking for no buffers changes nothing, but is refused while another handle streams.
  v4l2_requestbuffers request{};
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  return fd.isValid() && ::ioctl(fd.get(), VIDIOC_REQBUFS, &request) != 0 && errno == EBUSY;
}

QString accessGroupOf(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0 || info.st_gid == 0 ||
      (info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
    return {};
  }
  const struct group* entry = ::getgrgid(info.st_gid);
  return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(info.st_gid);
}

bool isSet(const char* name) { return !qEnvironmentVariableIsEmpty(name); }

}  // namespace

QCameraAccessSystem QCameraAccessSystem::current() {
  QCameraAccessSystem system;
  system.openError = openErrorOf;
  system.accessGroup = accessGroupOf;
  system.captureBusy = captureBusyAt;
  system.nodeHolder = [](const QString& path) -> std::optional<NodeHolder> {
    if (const auto holder = findNodeHolder(path)) {
      return holder;
    }
    // Inside a sandbox, programs outside it are not listed at all.
    if (!QFileInfo::exists(path) || QFileInfo::exists(QStringLiteral("/.flatpak-info")) ||
        isSet("SNAP")) {
      return std::nullopt;
    }
    return NodeHolder{0, QString(), true};
  };
  system.videoNodes = [](std::int64_t locationId) {
    QStringList nodes;
    for (const UdevCamera& camera : V4l2UvcTransportFactory::listCameras()) {
      if (camera.usb && camera.usb->locationId != 0 && camera.usb->locationId == locationId) {
        for (const UdevCamera::VideoNode& node : camera.videoNodes) {
          nodes.append(QString::fromStdString(node.devnode));
        }
      }
    }
    return nodes;
  };
  // A relocated installation first (bin/ beside share/), then the configured prefix, then the
  // XDG data folders.
  if (QCoreApplication::instance() != nullptr) {
    system.prefixes.append(QDir::cleanPath(QCoreApplication::applicationDirPath() + "/.."));
  }
  system.prefixes.append(QStringLiteral(VEXHAL_INSTALL_PREFIX));
  system.prefixes.removeDuplicates();
  for (const QString& prefix : system.prefixes) {
    system.dataDirs.append(prefix + "/share");
  }
  system.dataDirs.append(QStringLiteral(VEXHAL_INSTALL_DATADIR));
  system.dataDirs.append(QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
  system.dataDirs.removeDuplicates();
  if (isSet("SNAP")) {
    system.snapName =
        isSet("SNAP_NAME") ? qEnvironmentVariable("SNAP_NAME") : QStringLiteral("vexhaltools");
  }
  const QString seat = qEnvironmentVariable("XDG_SEAT");
  system.remoteSession = isSet("SSH_CONNECTION") || isSet("SSH_TTY") ||
                         (!seat.isEmpty() && seat != QStringLiteral("seat0"));
  return system;
}

QString QCameraAccessSystem::rooted(const QString& path) const {
  return QDir::cleanPath(root + '/' + path);
}

std::optional<NodeHolder> QCameraAccessSystem::holderOf(const QString& path) const {
  return nodeHolder ? nodeHolder(rooted(path)) : std::nullopt;
}

bool QCameraAccessSystem::isFlatpak() const {
  return QFileInfo::exists(rooted(QStringLiteral("/.flatpak-info")));
}

QString QCameraAccessSystem::flatpakAppId() const {
  const QSettings info(rooted(QStringLiteral("/.flatpak-info")), QSettings::IniFormat);
  const QString name = info.value(QStringLiteral("Application/name")).toString();
  return name.isEmpty() ? QString::fromLatin1(kAppId) : name;
}

}  // namespace vexhal
