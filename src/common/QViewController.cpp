#include "common/QViewController.h"

#include <ostrane/ostrane.h>

#include "common/QNavigationController.h"

namespace vexhal {

QViewController::QViewController(const char* screenName, QWidget* parent)
    : QWidget(parent), screenName_(screenName) {}

QViewController::~QViewController() { QLog("deinit：" + description().toStdString()); }

QString QViewController::description() const {
  return QStringLiteral("<VexhalTools.%1: 0x%2>")
      .arg(QString::fromLatin1(screenName_))
      .arg(reinterpret_cast<quintptr>(this), 0, 16);
}

QNavigationController* QViewController::navigationController() const {
  return navigationControllerOf(this);
}

}  // namespace vexhal
