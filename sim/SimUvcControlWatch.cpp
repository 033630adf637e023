#include "SimUvcControlWatch.h"

namespace vexhal::sim {

SimUvcControlWatch::SimUvcControlWatch(VirtualCamera& camera, Listener listener)
    : camera_(camera), listener_(std::move(listener)) {
  controlListener_ =
      camera_.addControlListener([this](const UVCControlInfo& control, std::int64_t value) {
        QMetaObject::invokeMethod(
            &context_,
            [this, control, value] {
              if (watching_) listener_(control, value);
            },
            Qt::QueuedConnection);
      });
  attachListener_ =
      camera_.addAttachListener([this](bool attached) { watching_ = watching_ && attached; });
}

SimUvcControlWatch::~SimUvcControlWatch() {
  camera_.removeControlListener(controlListener_);
  camera_.removeAttachListener(attachListener_);
}

}  // namespace vexhal::sim
