#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/NodeHolder.h"

namespace vexhal {

// The parts of this system that decide and explain camera access: the file-system root, how a
// device node is opened, the camera's video nodes, the session and the sandbox. current()
// describes the running system; tests build one over a fake tree.
struct QCameraAccessSystem {
  // Prefix of every system path looked at (/.flatpak-info, the udev rule folders, the nodes
  // themselves); "/" on the running system.
  QString root = QStringLiteral("/");
  // The errno value of opening `path` (a node's path below the root) for reading and writing,
  // 0 when it opens.
  std::function<int(const QString& path)> openError;
  // Whether another program captures from the video node at `path` (below the root): the node
  // then opens, but gives this program no picture.
  std::function<bool(const QString& path)> captureBusy;
  // The video nodes of the camera with this USB location id.
  std::function<QStringList(std::int64_t locationId)> videoNodes;
  // The group that may read and write `path` (below the root), empty when no group but root
  // may.
  std::function<QString(const QString& path)> accessGroup;
  // The program that keeps `path` (below the root) busy: one of this user's processes, another
  // user's program when none of them has it open, none when that cannot be told (a sandbox
  // sees only its own processes).
  std::function<std::optional<NodeHolder>(const QString& path)> nodeHolder;
  // Folders holding the program's shared data ("vexhaltools/device-access.txt" inside).
  QStringList dataDirs;
  // Installation prefixes of the running program, where its copy of the udev rule lies.
  QStringList prefixes;
  // $SNAP_NAME inside a snap, else empty.
  QString snapName;
  // An ssh session, or a seat other than the computer's own: the udev rule grants nothing there.
  bool remoteSession = false;

  static QCameraAccessSystem current();

  // Flatpak marks its sandbox with this file at the root.
  bool isFlatpak() const;
  // The Flatpak application id from /.flatpak-info, or the program's own id.
  QString flatpakAppId() const;
  // nodeHolder() of the node at `path`; none without that seam.
  std::optional<NodeHolder> holderOf(const QString& path) const;
  // `path` below the root.
  QString rooted(const QString& path) const;
};

}  // namespace vexhal
