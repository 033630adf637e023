#pragma once

#include <QString>
#include <QWidget>

namespace vexhal {

class QNavigationController;

// Base of every screen. A screen is a widget; when it is destroyed it writes its "deinit：" line,
// so a log shows which screens were released.
class QViewController : public QWidget {
  Q_OBJECT

 public:
  // `screenName` is the class name shown in the screen's description.
  explicit QViewController(const char* screenName, QWidget* parent = nullptr);
  ~QViewController() override;

  // "<VexhalTools.QRootVC: 0x…>": the screen's class and address.
  QString description() const;

  // The stack this screen was pushed on (or is the root of), or null.
  QNavigationController* navigationController() const;

 private:
  const char* screenName_;
};

}  // namespace vexhal
