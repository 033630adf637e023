#pragma once

#include <QString>

namespace vexhal {

class RNetManager;

// Hears the client's own log lines. The manager holds delegates weakly (std::weak_ptr), so a
// destroyed delegate is simply skipped.
class RNetManagerDelegate {
 public:
  virtual ~RNetManagerDelegate() = default;
  virtual void onPrintLog(RNetManager& sender, const QString& message) = 0;
};

}  // namespace vexhal
