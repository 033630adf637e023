#include "section/camera_list/QCameraAccessHelp.h"

#include <QMessageBox>
#include <QWidget>

#include "platform/QCameraAccess.h"

namespace vexhal {

void QCameraAccessHelp::show(QWidget* over, const std::optional<QCameraAccessProblem>& problem,
                             const QCameraAccessSystem& system) {
  auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Camera access"),
                              QStringLiteral("Allow VexhalTools to use the camera"),
                              QMessageBox::Ok, over != nullptr ? over->window() : nullptr);
  box->setTextFormat(Qt::RichText);
  box->setInformativeText(
      QCameraAccess::fixSteps(problem.value_or(QCameraAccessProblem{}), system));
  box->setDetailedText(QCameraAccess::helpText(system));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->open();
}

}  // namespace vexhal
