#include "section/camera_list/QCameraAccess.h"

#include <QMessageBox>

#include <unistd.h>

#include <cerrno>

#include <string>

#include "device/hid/USBDevice.h"
#include "device/uvc/linux/V4l2VideoNodeEnumerator.h"

namespace vexhal {

namespace {

QCameraAccess::Checker& installedChecker() {
  static QCameraAccess::Checker checker;
  return checker;
}

bool mayReadAndWrite(const std::string& path) {
  return ::access(path.c_str(), R_OK | W_OK) == 0 || errno != EACCES;
}

}  // namespace

bool QCameraAccess::isGranted(const USBDevice& device) {
  const Checker& checker = installedChecker();
  return checker ? checker(device) : nodesAccessible(device);
}

void QCameraAccess::install(Checker checker) {
  installedChecker() = std::move(checker);
}

// A node that is missing is not refused access: the control screen waits for a video node
// that is still being set up.
bool QCameraAccess::nodesAccessible(const USBDevice& device) {
  if (device.key().starts_with("/dev/") && !mayReadAndWrite(device.key())) {
    return false;
  }
  for (const V4l2VideoNode& node : V4l2VideoNodeEnumerator::list()) {
    if (node.locationId == device.locationID() && !mayReadAndWrite(node.devnode)) {
      return false;
    }
  }
  return true;
}

QString QCameraAccess::helpText() {
  return QStringLiteral(
             "<p>VexhalTools opens two device nodes of the camera: its video node "
             "(<tt>/dev/video*</tt>) and its control node (<tt>/dev/hidraw*</tt>). Your user "
             "may not open them yet.</p>"
             "<p>The VexhalTools package installs the udev rule <tt>%1</tt>, which gives the "
             "user at the desk access to cameras with USB vendor id <tt>b206</tt> and product "
             "id <tt>b215</tt>:</p>"
             "<pre>SUBSYSTEM==\"video4linux\", ATTRS{idVendor}==\"b206\", "
             "ATTRS{idProduct}==\"b215\", TAG+=\"uaccess\"\n"
             "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"b206\", "
             "ATTRS{idProduct}==\"b215\", TAG+=\"uaccess\"</pre>"
             "<p>If you installed VexhalTools another way, copy these two lines into that file "
             "as root and run <tt>sudo udevadm control --reload</tt>.</p>"
             "<p>Then unplug the camera and plug it in again.</p>")
      .arg(QString::fromLatin1(kUdevRulePath));
}

void QCameraAccess::showHelp(QWidget* over) {
  auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Camera access"),
                              QStringLiteral("Allow VexhalTools to use the camera"),
                              QMessageBox::Ok, over != nullptr ? over->window() : nullptr);
  box->setInformativeText(helpText());
  box->setTextFormat(Qt::RichText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->open();
}

}  // namespace vexhal
