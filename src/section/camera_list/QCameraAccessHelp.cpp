#include "section/camera_list/QCameraAccessHelp.h"

#include <QMessageBox>
#include <QWidget>

#include "common/QSheetOverlay.h"
#include "platform/QCameraAccess.h"

namespace vexhal {

void QCameraAccessHelp::show(QWidget* over, const std::optional<QCameraAccessProblem>& problem,
                             const QCameraAccessSystem& system) {
  auto* box =
      new QMessageBox(QMessageBox::Information, QStringLiteral("Camera access"),
                      QStringLiteral("Allow VexhalTools to use the camera"), QMessageBox::Ok);
  box->setObjectName(QStringLiteral("cameraAccessHelp"));
  // A white card over the dimmed window, as the program's other sheets.
  box->setStyleSheet(QStringLiteral("#cameraAccessHelp { background: white; }"));
  box->setTextFormat(Qt::RichText);
  box->setInformativeText(
      QCameraAccess::fixSteps(problem.value_or(QCameraAccessProblem{}), system));
  box->setDetailedText(QCameraAccess::helpText(system));
  box->setAttribute(Qt::WA_DeleteOnClose);
  if (QSheetOverlay::present(box, over) == nullptr) {
    box->open();
  }
}

}  // namespace vexhal
