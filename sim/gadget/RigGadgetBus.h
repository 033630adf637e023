#pragma once

#include <QObject>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "GadgetBus.h"

class QProcess;

namespace vexhal::sim {

// The test rig's bus: runs its `rig-unplug` and `rig-plug` commands, one at a time, and keeps
// the host-side node paths `rig-plug` reports (`export NAME=value` lines), which may be new
// numbers after each plug. They are also put into this process's environment.
// Main thread only: the commands are child processes watched from the main loop.
class RigGadgetBus final : public GadgetBus {
 public:
  explicit RigGadgetBus(std::string unplugCommand = "rig-unplug",
                        std::string plugCommand = "rig-plug");
  ~RigGadgetBus() override;

  void setAttached(bool attached, Done done) override;

  // The nodes the last plug reported, e.g. "RIG_HIDRAW" -> "/dev/hidraw0".
  const std::map<std::string, std::string>& nodes() const { return nodes_; }
  bool isBusy() const { return running_ != nullptr; }

  // The `NAME=value` pairs of `export NAME=value` lines; other lines are skipped.
  static std::map<std::string, std::string> parseExports(const std::string& text);

 private:
  void runNext();
  void finished(bool ok);

  std::string unplugCommand_;
  std::string plugCommand_;
  std::deque<std::pair<bool, Done>> queue_;
  std::unique_ptr<QProcess> running_;
  bool runningAttach_ = false;
  std::map<std::string, std::string> nodes_;
  QObject context_;
};

}  // namespace vexhal::sim
