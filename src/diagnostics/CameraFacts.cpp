#include "diagnostics/CameraFacts.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include "device/hid/CaptureDevicePairing.h"
#include "device/hid/USBDevice.h"
#include "device/uvc/UVCCameraControl.h"
#include "platform/QCameraAccessSystem.h"
#include "section/camera_control/QDataBase.h"
#include "video/CaptureBackend.h"

namespace vexhal::diagnostics {

namespace {

QString hex(std::int64_t value, int width) {
  return QStringLiteral("0x%1").arg(value, width, 16, QLatin1Char('0'));
}

QString stateText(std::int64_t state) {
  switch (state) {
    case 1:
      return QStringLiteral("ready");
    case 2:
      return QStringLiteral("failed");
    default:
      return QStringLiteral("unknown");
  }
}

// The USB device a node hangs off: up from the node's sysfs entry to the first directory with
// USB ids.
std::optional<UsbSysfsIdentity> usbDeviceOf(const QCameraAccessSystem& system,
                                            const QString& node) {
  if (!node.startsWith(QStringLiteral("/dev/"))) return std::nullopt;
  const QString name = QFileInfo(node).fileName();
  const QString subsystem = name.startsWith(QStringLiteral("hidraw"))
                                ? QStringLiteral("hidraw")
                                : QStringLiteral("video4linux");
  QString dir = QFileInfo(system.rooted(QStringLiteral("/sys/class/%1/%2").arg(subsystem, name)))
                    .canonicalFilePath();
  const QString top = QDir(system.rooted(QStringLiteral("/sys"))).canonicalPath();
  while (!dir.isEmpty() && dir.startsWith(top) && dir != top) {
    if (QFileInfo::exists(dir + QStringLiteral("/idVendor")))
      return UsbSysfsIdentity::read(QFile::encodeName(dir).toStdString());
    dir = QFileInfo(dir).path();
  }
  return std::nullopt;
}

// The video devices the capture backend lists for the camera at `locationId`.
std::vector<video::CaptureDevice> captureDevicesOf(video::CaptureBackend* backend,
                                                   std::int64_t locationId) {
  std::vector<video::CaptureDevice> found;
  if (backend == nullptr) return found;
  for (video::CaptureDevice& device : backend->devices())
    if (isMatched(device.uniqueId, locationId)) found.push_back(std::move(device));
  return found;
}

QJsonValue storedJson(const std::optional<QUVCParams>& stored) {
  if (!stored) return QJsonValue::Null;
  return QJsonObject{{QStringLiteral("mode"), QUVCParams::label(stored->mode)},
                     {QStringLiteral("brightness"), qint64(stored->brightness)},
                     {QStringLiteral("contrast"), qint64(stored->contrast)},
                     {QStringLiteral("saturation"), qint64(stored->saturation)},
                     {QStringLiteral("sharpness"), qint64(stored->sharpness)}};
}

}  // namespace

CameraFacts CameraFacts::identify(const USBDevice& device, UVCTransportFactory& uvc,
                                  const QDataBase& dataBase) {
  CameraFacts facts;
  facts.name = QString::fromStdString(device.name());
  facts.model = QString::fromStdString(device.modelName());
  facts.serial = QDataBase::storageKey(device.serialNumber()).value_or(QString());
  facts.firmware = QString::fromStdString(device.version().value_or(std::string()));
  facts.state = device.state();
  facts.locationId = device.locationID();
  facts.hidNode = QString::fromStdString(device.key());
  facts.hidOpenError = device.openError();
  if (const std::optional<std::uint32_t> location = device.controlLocation()) {
    UVCCameraControl control(*location, uvc);
    facts.controls = ImageControlFacts::read(control);
  }
  if (device.serialNumber()) facts.stored = dataBase.findUVCParams(device.serialNumber());
  return facts;
}

void CameraFacts::examine(const QCameraAccessSystem& system, video::CaptureBackend* backend,
                          V4l2Syscalls& syscalls) {
  hidraw = NodeFacts::read(system, hidNode);
  const std::vector<video::CaptureDevice> devices = captureDevicesOf(backend, locationId);
  QStringList videoNodes = system.videoNodes ? system.videoNodes(locationId) : QStringList();
  for (const video::CaptureDevice& device : devices)
    videoNodes.append(QString::fromStdString(device.path));
  videoNodes.removeDuplicates();
  for (const QString& node : videoNodes)
    video.push_back(VideoNodeFacts::read(system, node, backend, syscalls));

  usb = usbDeviceOf(system, hidNode);
  for (qsizetype i = 0; !usb && i < videoNodes.size(); ++i)
    usb = usbDeviceOf(system, videoNodes[i]);
  if (usb) {
    vendorId = usb->vendorId;
    productId = usb->productId;
  } else if (!devices.empty() && devices.front().uniqueId.size() >= 8) {
    // The capture device's identifier ends in the vendor and product ids.
    const QString ids = QString::fromStdString(devices.front().uniqueId).right(8);
    vendorId = static_cast<std::uint16_t>(ids.left(4).toUInt(nullptr, 16));
    productId = static_cast<std::uint16_t>(ids.right(4).toUInt(nullptr, 16));
  }
}

QStringList CameraFacts::serials() const {
  QStringList all;
  if (!serial.isEmpty()) all.append(serial);
  if (usb && !usb->serial.empty()) all.append(QString::fromStdString(usb->serial));
  return all;
}

QJsonObject CameraFacts::toJson() const {
  QJsonArray videoList;
  for (const VideoNodeFacts& node : video) videoList.append(node.toJson());
  QJsonObject json{
      {QStringLiteral("name"), name},
      {QStringLiteral("model"), model},
      {QStringLiteral("vendorId"), hex(vendorId, 4)},
      {QStringLiteral("productId"), hex(productId, 4)},
      {QStringLiteral("serial"), serial},
      {QStringLiteral("firmware"), firmware},
      {QStringLiteral("state"), stateText(state)},
      {QStringLiteral("usbLocation"), hex(locationId, 8)},
      {QStringLiteral("busPortPath"),
       usb ? QStringLiteral("%1-%2").arg(usb->busNumber).arg(QString::fromStdString(usb->devpath))
           : QString()},
      {QStringLiteral("hidraw"), hidraw.toJson()},
      {QStringLiteral("video"), videoList},
      {QStringLiteral("controlsReachable"), controls.reachable},
      {QStringLiteral("controls"), controls.toJson()},
      {QStringLiteral("functions"), functions},
      {QStringLiteral("storedRecord"), storedJson(stored)}};
  if (diagnosis) json.insert(QStringLiteral("doctor"), *diagnosis);
  return json;
}

QStringList CameraFacts::toText() const {
  const QJsonObject json = toJson();
  QStringList lines{
      QStringLiteral("Camera %1 (%2)").arg(name, model),
      QStringLiteral("USB ids: %1:%2")
          .arg(json[u"vendorId"].toString(), json[u"productId"].toString()),
      QStringLiteral("Serial number: %1")
          .arg(serial.isEmpty() ? QStringLiteral("unknown") : serial),
      QStringLiteral("Firmware: %1").arg(firmware.isEmpty() ? QStringLiteral("unknown") : firmware),
      QStringLiteral("State: %1").arg(stateText(state)),
      QStringLiteral("USB location: %1, bus-port path %2")
          .arg(json[u"usbLocation"].toString(),
               usb ? json[u"busPortPath"].toString() : QStringLiteral("unknown")),
      QStringLiteral("HID node: ") + hidraw.toText()};
  for (const VideoNodeFacts& node : video) {
    const QStringList nodeLines = node.toText();
    lines.append(QStringLiteral("Video node: ") + nodeLines.front());
    lines.append(nodeLines.mid(1));
  }
  lines.append(QStringLiteral("Image controls:"));
  lines.append(controls.toText());
  lines.append(QStringLiteral("Functions:"));
  for (auto it = functions.begin(); it != functions.end(); ++it)
    lines.append(QStringLiteral("  %1: %2").arg(it.key(), it.value().toVariant().toString()));
  lines.append(QStringLiteral("Stored image record: ") +
               (stored
                    ? QStringLiteral("%1, brightness %2, contrast %3, saturation %4, sharpness %5")
                          .arg(QUVCParams::label(stored->mode))
                          .arg(stored->brightness)
                          .arg(stored->contrast)
                          .arg(stored->saturation)
                          .arg(stored->sharpness)
                    : QStringLiteral("none")));
  if (diagnosis) {
    lines.append(QStringLiteral("Doctor:"));
    for (const QString& line : diagnosisText) lines.append(QStringLiteral("  ") + line);
  }
  return lines;
}

}  // namespace vexhal::diagnostics
