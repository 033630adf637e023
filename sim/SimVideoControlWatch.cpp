#include "SimVideoControlWatch.h"

#include <algorithm>

namespace vexhal::sim {

SimVideoControlWatch::SimVideoControlWatch(VirtualCamera& camera, std::vector<std::uint32_t> ids,
                                           Listener listener)
    : camera_(camera), ids_(std::move(ids)), listener_(std::move(listener)) {
  controlListener_ = camera_.addControlListener([this](const VideoControlEvent& event) {
    if (std::find(ids_.begin(), ids_.end(), event.id) == ids_.end()) {
      return;
    }
    QMetaObject::invokeMethod(
        &context_,
        [this, event] {
          if (watching_) listener_(event);
        },
        Qt::QueuedConnection);
  });
  attachListener_ =
      camera_.addAttachListener([this](bool attached) { watching_ = watching_ && attached; });
}

SimVideoControlWatch::~SimVideoControlWatch() {
  camera_.removeControlListener(controlListener_);
  camera_.removeAttachListener(attachListener_);
}

}  // namespace vexhal::sim
