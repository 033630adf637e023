#include "diagnostics/HidFactsReader.h"

#include <QPointer>

#include <array>
#include <utility>

#include "device/hid/USBDevice.h"
#include "section/camera_control/QHIDFieldCommands.h"

namespace vexhal::diagnostics {

namespace {

using Field = QHIDSetting::Field;

constexpr std::array<std::pair<Field, const char*>, 6> kFields{{
    {Field::autoFraming, "autoFraming"},
    {Field::autoFramingMode, "autoFramingMode"},
    {Field::frameMaster, "frameMaster"},
    {Field::angle, "angle"},
    {Field::hMirror, "hMirror"},
    {Field::pickup, "pickup"},
}};

QString failureText(std::int64_t code) {
  if (code == USBDevice::kNotOpen) return QStringLiteral("not read: the HID node is not open");
  if (code == USBDevice::kCommandNoReply) return QStringLiteral("not read: no reply");
  return QStringLiteral("not read: camera code %1").arg(code);
}

}  // namespace

HidFactsReader::HidFactsReader(std::vector<std::shared_ptr<USBDevice>> devices,
                               std::chrono::milliseconds bound, Done done)
    : devices_(std::move(devices)), functions_(devices_.size()), done_(std::move(done)) {
  bound_.setSingleShot(true);
  connect(&bound_, &QTimer::timeout, this, &HidFactsReader::finish);
  bound_.start(bound);
  // One extra count, released below, so answers that come at once cannot finish early.
  waiting_ = 1;
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    USBDevice& device = *devices_[i];
    // Every request completes once, possibly after this reader is gone.
    const QPointer<HidFactsReader> self(this);
    const auto ignore = [self](std::int64_t, const auto&) {
      if (self) self->answered();
    };
    waiting_ += 3;
    device.getState(ignore);
    device.getVersion(ignore);
    device.getSerialNumber(ignore);
    for (const auto& [field, name] : kFields) {
      ++waiting_;
      hidfields::read(
          device, field,
          [self, i, key = QString::fromLatin1(name)](std::int64_t code, std::int64_t value) {
            if (!self || !self->done_) return;  // gone, or finished at the bound
            self->functions_[i].insert(
                key, code == 0 ? QJsonValue(qint64(value)) : QJsonValue(failureText(code)));
            self->answered();
          });
    }
  }
  answered();
}

void HidFactsReader::answered() {
  if (--waiting_ == 0) finish();
}

void HidFactsReader::finish() {
  if (!done_) return;
  bound_.stop();
  // A field still unanswered at the bound says so.
  for (QJsonObject& values : functions_)
    for (const auto& [field, name] : kFields)
      if (!values.contains(QLatin1String(name)))
        values.insert(QLatin1String(name), QStringLiteral("not read: no reply in time"));
  std::exchange(done_, {})(std::move(functions_));
}

}  // namespace vexhal::diagnostics
