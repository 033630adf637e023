#pragma once

#include <QString>

#include "VirtualCamera.h"

namespace vexhal::sim {

// The control language of a running virtual camera, one command a line:
//   plug | unplug | status | restart-delay <ms> | help
//   fault error <command> <code> | fault no-reply <command> | fault garbage <command>
//   fault slow <ms> | fault detach-after <packet> | fault never-return on|off
//   fault 4k on|off | fault clear
// Commands are named as in commandFromText() ("set-angle", "upgrade-data", "0x50a1").
// Each answer is one line beginning with "ok" or "error". Runs on the main thread.
class SimControlCommands {
 public:
  explicit SimControlCommands(VirtualCamera& camera) : camera_(camera) {}

  QString execute(const QString& line);

 private:
  QString fault(const QStringList& words);
  QString status() const;

  VirtualCamera& camera_;
};

}  // namespace vexhal::sim
