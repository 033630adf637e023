#pragma once

#include <QWidget>

#include <functional>

class QToolButton;

namespace vexhal {

// The top row of a pushed screen: a back button and the screen's title.
class QScreenHeader : public QWidget {
  Q_OBJECT

 public:
  QScreenHeader(const QString& title, std::function<void()> back, QWidget* parent = nullptr);
  QToolButton* backBtn() const { return backBtn_; }

 private:
  QToolButton* backBtn_;
};

}  // namespace vexhal
