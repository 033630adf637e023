#pragma once

#include <QString>

#include <optional>

namespace vexhal {

// The program that keeps a device node busy: one of this user's processes, found through its
// open files, or a process of another user, whose open files cannot be read.
struct NodeHolder {
  qint64 pid = 0;
  QString name;  // the process's command name ("cheese"); empty for another user's program
  bool otherUser = false;

  // "cheese (process 4242)", or "another user's program".
  QString describe() const;
};

// The first process under `procRoot` (normally "/proc"), other than this one, with `nodePath`
// open, compared by the node's device number (by its inode for a file that is no device) so that
// links and renamed nodes match; none when no readable process has it open. The scan skips
// processes whose open files it may not read and gives up after two seconds.
std::optional<NodeHolder> findNodeHolder(const QString& nodePath,
                                         const QString& procRoot = QStringLiteral("/proc"));

}  // namespace vexhal
