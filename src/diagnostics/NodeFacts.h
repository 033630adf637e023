#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vexhal {
struct QCameraAccessSystem;
}

namespace vexhal::diagnostics {

// One device node of a camera as the file system and udev show it.
struct NodeFacts {
  QString path;  // "/dev/hidraw3", as the system names it (not rooted)
  bool exists = false;
  bool characterDevice = false;
  QString owner;         // user name, or the number when it has none
  QString group;         // likewise
  QString mode;          // "0660"
  QString userAcl;       // the current user's access control entry ("rw-"); empty when none
  QStringList udevTags;  // the tags udev keeps for the node now
  bool uaccess = false;  // udev hands the node to the seat's user
  int openError = 0;     // errno of opening it for reading and writing, 0 when it opens

  // Reads the node `path` below the system's root; its udev record is found by the device
  // number of the node, or of its sysfs entry when the node is not a device (a test's tree).
  static NodeFacts read(const QCameraAccessSystem& system, const QString& path);

  QJsonObject toJson() const;
  // "/dev/video0: opens, root:video 0660, ACL rw-, udev tags uaccess seat"
  QString toText() const;
};

}  // namespace vexhal::diagnostics
