#include "control/DoctorCommand.h"

#include <QJsonArray>
#include <QJsonObject>

#include "device/hid/USBDevice.h"
#include "device/hid/USBHidManager.h"
#include "platform/CameraDoctor.h"
#include "platform/QCameraAccess.h"
#include "section/camera_control/QDataBase.h"

namespace vexhal::control {

ControlReply DoctorCommand::run(const USBHidManager& manager, const Platform& platform) {
  const auto& devices = manager.devices();
  if (devices.empty()) {
    return {ExitCode::NoCamera, QJsonValue(), QStringLiteral("No camera is connected."),
            std::nullopt};
  }
  const QCameraAccessSystem& system = QCameraAccess::system(platform);
  QJsonArray cameras;
  QString text;
  bool usable = true;
  for (const auto& device : devices) {
    const CameraDiagnosis diagnosis = CameraDoctor::examine(*device, system);
    usable = usable && diagnosis.usable();
    const QString key = QString::fromStdString(device->key());
    const QString name = QString::fromStdString(device->modelName());
    QJsonObject camera{{QStringLiteral("camera"), key}, {QStringLiteral("name"), name}};
    const std::optional<QString> serial = QDataBase::storageKey(device->serialNumber());
    if (serial) {
      camera.insert(QStringLiteral("serial"), *serial);
    }
    const QJsonObject found = CameraDoctor::toJson(diagnosis);
    for (auto it = found.begin(); it != found.end(); ++it) {
      camera.insert(it.key(), it.value());
    }
    cameras.append(camera);
    // "Room Camera 4C2309A01234 (/dev/hidraw3)", then the findings indented under it.
    QString heading = name;
    if (serial) {
      heading += QLatin1Char(' ') + *serial;
    }
    text += QStringLiteral("%1 (%2)\n").arg(heading.trimmed(), key);
    const QStringList lines = CameraDoctor::toText(diagnosis).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
      if (!line.isEmpty()) {
        text += QStringLiteral("  ") + line + QLatin1Char('\n');
      }
    }
  }
  return {usable ? ExitCode::Done : ExitCode::AccessRefused, cameras, text.trimmed(), std::nullopt};
}

}  // namespace vexhal::control
