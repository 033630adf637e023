#include "control/CameraCommandRunner.h"

#include <QTimer>

namespace vexhal::control {

CameraCommandRunner::CameraCommandRunner(USBHidManager& manager, Platform& platform,
                                         RNetManager& net, QDataBase dataBase,
                                         QSettingsKeeper* keeper, QObject* parent)
    : QObject(parent),
      manager_(manager),
      platform_(platform),
      net_(net),
      dataBase_(std::move(dataBase)),
      keeper_(keeper) {}

CameraCommandRunner::~CameraCommandRunner() = default;

void CameraCommandRunner::run(const ControlRequest& request, Progress progress, Done done) {
  Q_UNUSED(request);
  Q_UNUSED(progress);
  QTimer::singleShot(0, this, [done = std::move(done)] {
    done({ExitCode::Failed, QJsonValue(), QStringLiteral("not available yet"), std::nullopt});
  });
}

}  // namespace vexhal::control
