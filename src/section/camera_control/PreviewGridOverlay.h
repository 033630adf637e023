#pragma once

#include <QWidget>

namespace vexhal {

// The framing guide laid over the preview: lines that split the picture into thirds each way,
// drawn light over dark so they show on any picture. It lets mouse events through.
class PreviewGridOverlay : public QWidget {
 public:
  explicit PreviewGridOverlay(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vexhal
