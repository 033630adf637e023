#pragma once

#include <QJsonObject>
#include <QStringList>

#include <memory>
#include <vector>

#include "diagnostics/NodeFacts.h"
#include "video/CaptureFormat.h"

namespace vexhal {
class V4l2Syscalls;
namespace video {
class CaptureBackend;
}
}  // namespace vexhal

namespace vexhal::diagnostics {

// A camera's video node: the node itself, what its driver says it is and can do, and the
// formats, frame sizes and rates it captures.
struct VideoNodeFacts {
  NodeFacts node;
  QString driver;  // from the driver's capability query; empty for a node that is not a device
  QString card;
  QString busInfo;
  QStringList capabilities;  // "video-capture", "streaming", …
  std::vector<video::CaptureFormat> formats;

  // Reads the node at `path` (below the system's root); its formats come from the capture
  // backend's device with that path, when it lists one. May run on any thread.
  static VideoNodeFacts read(const QCameraAccessSystem& system, const QString& path,
                             video::CaptureBackend* backend, V4l2Syscalls& syscalls);

  QJsonObject toJson() const;
  QStringList toText() const;
};

}  // namespace vexhal::diagnostics
