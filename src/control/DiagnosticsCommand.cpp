#include "control/DiagnosticsCommand.h"

#include <QJsonObject>
#include <QPointer>
#include <QTimer>

#include <memory>

#include "diagnostics/DiagnosticsExport.h"

namespace vexhal::control {

DiagnosticsCommand::DiagnosticsCommand(QObject* parent) : QObject(parent) {}

void DiagnosticsCommand::run(const ControlRequest& request, Done done) {
  // Whichever comes first, the export's end or the bound, answers; the other finds it taken.
  auto answer = std::make_shared<Done>(std::move(done));
  const auto reply = [answer](const ControlReply& result) {
    if (*answer) {
      std::exchange(*answer, nullptr)(result);
    }
  };
  if (exporter_ == nullptr) {
    QTimer::singleShot(0, this, [reply] {
      reply({ExitCode::Failed, QJsonValue(),
             QStringLiteral("Diagnostics cannot be exported from here."), std::nullopt});
    });
    return;
  }
  QTimer::singleShot(kBound, this, [reply] {
    reply({ExitCode::NoAnswer, QJsonValue(),
           QStringLiteral("The diagnostics export did not end within %1 minutes.")
               .arg(kBound.count()),
           std::nullopt});
  });
  exporter_->start({request.file, request.maskSerials},
                   [reply](const diagnostics::ExportResult& result) {
                     if (result.ok) {
                       reply({ExitCode::Done, QJsonObject{{QStringLiteral("path"), result.path}},
                              QString(), std::nullopt});
                     } else {
                       reply({ExitCode::Failed, QJsonValue(), result.error, std::nullopt});
                     }
                   });
}

}  // namespace vexhal::control
