#pragma once

#include <QObject>
#include <QThread>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "video/CaptureBackend.h"

namespace vexhal {

// Finds the video capture device of a camera by its USB location id, off the GUI thread: listing
// capture devices opens and queries every video node, which can block. The listing runs on this
// object's own thread "vexhal-devfind"; the answer comes back on the thread that asked (the
// GUI thread), and never after this object is destroyed.
class CaptureDeviceSearch : public QObject {
 public:
  using Found = std::function<void(const std::optional<video::CaptureDevice>& device)>;

  explicit CaptureDeviceSearch(std::shared_ptr<video::CaptureBackend> backend,
                               QObject* parent = nullptr);
  // Waits for a listing in progress (one listing at most).
  ~CaptureDeviceSearch() override;
  CaptureDeviceSearch(const CaptureDeviceSearch&) = delete;
  CaptureDeviceSearch& operator=(const CaptureDeviceSearch&) = delete;

  // The first capture device paired with the camera at `locationId`, or none.
  void find(std::int64_t locationId, Found found);

 private:
  std::shared_ptr<video::CaptureBackend> backend_;
  QThread thread_;
  QObject worker_;  // lives on thread_; the listings are queued to it
};

}  // namespace vexhal
