#pragma once

#include <QString>

#include <optional>

#include "platform/NodeHolder.h"

namespace vexhal {

// Why a camera cannot be used: which of its device nodes failed to open, and the errno value.
// A problem with an unknown node comes from a checker that only answers yes or no.
struct QCameraAccessProblem {
  enum class Node { Unknown, Control, Video };

  Node node = Node::Unknown;
  QString path;  // e.g. "/dev/hidraw3"
  int error = 0;
  std::optional<NodeHolder> holder;  // who keeps a busy node, when known
};

}  // namespace vexhal
