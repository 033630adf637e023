#pragma once

#include <memory>

#include "net/RNetManagerDelegate.h"

namespace vexhal {

// The program's log forwarder for the update-service client: writes each of the client's log
// lines unchanged with QLog. One per process, registered after every RNetManager::config.
class QNetLogForwarder : public RNetManagerDelegate {
 public:
  static std::shared_ptr<QNetLogForwarder> shared();

  // Points the shared client at `host` and `port` and registers the forwarder with it.
  static void configure(const QString& host, const QString& port);

  void onPrintLog(RNetManager& sender, const QString& message) override;
};

}  // namespace vexhal
