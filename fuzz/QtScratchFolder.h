#pragma once

#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A temporary folder for a harness that writes files on every run: in memory (/dev/shm) where
// the system has it, so the runs are not bound by the disk.
inline std::unique_ptr<QTemporaryDir> scratchFolder(const QString& name) {
  const QString shm = QStringLiteral("/dev/shm");
  return QFileInfo(shm).isWritable()
             ? std::make_unique<QTemporaryDir>(shm + u'/' + name + QStringLiteral("-XXXXXX"))
             : std::make_unique<QTemporaryDir>();
}
