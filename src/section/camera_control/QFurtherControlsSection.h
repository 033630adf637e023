#pragma once

#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device/uvc/VideoControl.h"

class QToolButton;
class QVBoxLayout;

namespace vexhal {

class QVideoControlRow;

// The image page's "More" section: a header that opens and closes it (closed at first) over
// one row per further control of the camera, in the driver's order. A control that cannot be
// changed now shows why: the automatic mode that sets it, or that it is read-only. Hidden
// while the camera has no further control.
class QFurtherControlsSection : public QWidget {
  Q_OBJECT

 public:
  explicit QFurtherControlsSection(QWidget* parent = nullptr);

  // Rows for the further controls among `controls` (every control of the camera, so that an
  // automatic mode can be named), replacing the earlier rows.
  void setControls(const std::vector<VideoControl>& controls);
  // Shows the control's value and flags on its row, if it has one.
  void showControl(const VideoControl& control);

  QToolButton* header() const { return header_; }
  bool isOpen() const;
  void setOpen(bool open);
  QVideoControlRow* row(std::uint32_t id) const;

  // Why `control` cannot be changed now, or empty when it can. `controls` name its owner.
  static QString reason(const VideoControl& control, const std::vector<VideoControl>& controls);

 signals:
  void valueChosen(std::uint32_t id, qint64 value);

 private:
  QToolButton* header_ = nullptr;
  QWidget* body_ = nullptr;
  QVBoxLayout* rows_ = nullptr;
  std::vector<VideoControl> controls_;
  std::map<std::uint32_t, QVideoControlRow*> byId_;
};

}  // namespace vexhal
