#include "diagnostics/VideoNodeFacts.h"

#include <QFile>
#include <QJsonArray>

#include <fcntl.h>
#include <linux/videodev2.h>

#include <array>
#include <utility>

#include "device/linux/V4l2Syscalls.h"
#include "platform/QCameraAccessSystem.h"
#include "video/CaptureBackend.h"
#include "video/PixelFormat.h"

namespace vexhal::diagnostics {

namespace {

constexpr std::array<std::pair<std::uint32_t, const char*>, 6> kCapabilityNames{{
    {V4L2_CAP_VIDEO_CAPTURE, "video-capture"},
    {V4L2_CAP_VIDEO_CAPTURE_MPLANE, "video-capture-mplane"},
    {V4L2_CAP_META_CAPTURE, "meta-capture"},
    {V4L2_CAP_READWRITE, "read-write"},
    {V4L2_CAP_STREAMING, "streaming"},
    {V4L2_CAP_EXT_PIX_FORMAT, "extended-pixel-format"},
}};

QString fixedText(const __u8* bytes, std::size_t size) {
  std::size_t length = 0;
  while (length < size && bytes[length] != 0) ++length;
  return QString::fromUtf8(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
}

void queryCapabilities(VideoNodeFacts& facts, const QString& rooted, V4l2Syscalls& syscalls) {
  const int fd = syscalls.open(QFile::encodeName(rooted).constData(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return;
  v4l2_capability caps{};
  if (syscalls.ioctl(fd, VIDIOC_QUERYCAP, &caps) >= 0) {
    facts.driver = fixedText(caps.driver, sizeof caps.driver);
    facts.card = fixedText(caps.card, sizeof caps.card);
    facts.busInfo = fixedText(caps.bus_info, sizeof caps.bus_info);
    const std::uint32_t bits =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
    for (const auto& [bit, name] : kCapabilityNames)
      if ((bits & bit) != 0) facts.capabilities.append(QString::fromLatin1(name));
  }
  syscalls.close(fd);
}

QString rateText(const video::FrameRateRange& range) {
  return range.minFrameRate == range.maxFrameRate
             ? QString::number(range.maxFrameRate)
             : QStringLiteral("%1-%2").arg(range.minFrameRate).arg(range.maxFrameRate);
}

}  // namespace

VideoNodeFacts VideoNodeFacts::read(const QCameraAccessSystem& system, const QString& path,
                                    video::CaptureBackend* backend, V4l2Syscalls& syscalls) {
  VideoNodeFacts facts;
  facts.node = NodeFacts::read(system, path);
  if (facts.node.characterDevice && facts.node.openError == 0)
    queryCapabilities(facts, system.rooted(path), syscalls);
  if (backend != nullptr) {
    for (const video::CaptureDevice& device : backend->devices()) {
      if (QString::fromStdString(device.path) == path) {
        facts.formats = backend->formats(device);
        if (facts.card.isEmpty()) facts.card = QString::fromStdString(device.name);
      }
    }
  }
  return facts;
}

QJsonObject VideoNodeFacts::toJson() const {
  QJsonArray formatList;
  for (const video::CaptureFormat& format : formats) {
    QJsonArray rates;
    for (const video::FrameRateRange& range : format.frameRateRanges)
      rates.append(QJsonObject{{QStringLiteral("min"), range.minFrameRate},
                               {QStringLiteral("max"), range.maxFrameRate}});
    formatList.append(QJsonObject{{QStringLiteral("pixelFormat"),
                                   QString::fromStdString(video::fourccText(format.pixelFormat))},
                                  {QStringLiteral("width"), format.width},
                                  {QStringLiteral("height"), format.height},
                                  {QStringLiteral("frameRates"), rates}});
  }
  return {{QStringLiteral("node"), node.toJson()},
          {QStringLiteral("driver"), driver},
          {QStringLiteral("card"), card},
          {QStringLiteral("busInfo"), busInfo},
          {QStringLiteral("capabilities"), QJsonArray::fromStringList(capabilities)},
          {QStringLiteral("formats"), formatList}};
}

QStringList VideoNodeFacts::toText() const {
  QStringList lines{node.toText()};
  if (!driver.isEmpty())
    lines.append(QStringLiteral("  driver %1, \"%2\" at %3: %4")
                     .arg(driver, card, busInfo, capabilities.join(QStringLiteral(", "))));
  for (const video::CaptureFormat& format : formats) {
    QStringList rates;
    for (const video::FrameRateRange& range : format.frameRateRanges) rates.append(rateText(range));
    lines.append(QStringLiteral("  %1 fps %2")
                     .arg(QString::fromStdString(video::describe(format)), rates.join(u' ')));
  }
  if (formats.empty()) lines.append(QStringLiteral("  no formats read"));
  return lines;
}

}  // namespace vexhal::diagnostics
