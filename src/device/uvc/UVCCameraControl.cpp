#include "device/uvc/UVCCameraControl.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "device/uvc/UVCLog.h"

namespace vexhal {
namespace {

// A GET answer is read into this many bytes, so no request may ask for more; a SET sends at
// most the bytes of its 64-bit value.
constexpr std::int32_t kMaxValueBytes = 8;

std::uint16_t wordFor(std::int32_t id) { return static_cast<std::uint16_t>(id << 8); }

}  // namespace

UVCCameraControl::UVCCameraControl(std::uint32_t locationId, UVCTransportFactory& factory)
    : transport_(factory.openByLocation(locationId)), log_(factory.log()) {}

UVCCameraControl::UVCCameraControl(std::unique_ptr<UVCTransport> transport, UVCLog log)
    : transport_(std::move(transport)), log_(std::move(log)) {}

bool UVCCameraControl::validRequest(std::int32_t length, std::int32_t selector,
                                    std::int32_t unit) const {
  if (length < 1 || length > kMaxValueBytes || selector < 0 || selector > 0xFF || unit < 0 ||
      unit > 0xFF) {
    log_.error("CameraControl Error: Invalid request (length %d, selector %d, unit %d)", length,
               selector, unit);
    return false;
  }
  return true;
}

UVCCameraControl UVCCameraControl::withUniqueId(std::string_view uniqueId,
                                                UVCTransportFactory& factory) {
  const std::optional<std::uint32_t> location = locationIdFromUniqueId(uniqueId);
  if (!location) {
    return UVCCameraControl(nullptr, factory.log());
  }
  return UVCCameraControl(*location, factory);
}

UVCCameraControl UVCCameraControl::withVendorProduct(std::int64_t vendorId, std::int64_t productId,
                                                     UVCTransportFactory& factory) {
  if (vendorId < 0 || vendorId > 0xFFFF || productId < 0 || productId > 0xFFFF) {
    return UVCCameraControl(nullptr, factory.log());
  }
  return UVCCameraControl(factory.openByVendorProduct(static_cast<std::uint16_t>(vendorId),
                                                      static_cast<std::uint16_t>(productId)),
                          factory.log());
}

std::optional<std::uint32_t> UVCCameraControl::locationIdFromUniqueId(std::string_view uniqueId) {
  if (uniqueId.size() < 3 || uniqueId[0] != '0' || (uniqueId[1] != 'x' && uniqueId[1] != 'X')) {
    return std::nullopt;
  }
  std::string_view digits = uniqueId.substr(2);
  digits =
      digits.substr(0, std::min(digits.find_first_not_of("0123456789abcdefABCDEF"), digits.size()));
  // A capture device's identifier ends in the vendor and product ids (eight digits) after a
  // location id written without leading zeros, so only the digits before them are the location.
  if (digits.size() > 8) {
    digits.remove_suffix(8);
  }
  std::uint32_t location = 0;
  const auto [end, ec] =
      std::from_chars(digits.data(), digits.data() + digits.size(), location, 16);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return location;
}

bool UVCCameraControl::setData(std::int64_t value, std::int32_t length, std::int32_t selector,
                               std::int32_t unit) {
  if (!validRequest(length, selector, unit)) {
    return false;
  }
  std::array<std::uint8_t, kMaxValueBytes> bytes{};
  const auto raw = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
  }
  UVCControlRequest request;
  request.bmRequestType = kUvcRequestTypeSet;
  request.bRequest = kUvcSetCur;
  request.wValue = wordFor(selector);
  request.wIndex = wordFor(unit);
  request.wLength = static_cast<std::uint16_t>(length);
  request.pData = bytes.data();
  request.wLenDone = 0;
  return sendControlRequest(request);
}

std::int64_t UVCCameraControl::getDataFor(std::int32_t requestCode, std::int32_t length,
                                          std::int32_t selector, std::int32_t unit) {
  return tryGetDataFor(requestCode, length, selector, unit).value_or(0);
}

std::optional<std::int64_t> UVCCameraControl::tryGetDataFor(std::int32_t requestCode,
                                                            std::int32_t length,
                                                            std::int32_t selector,
                                                            std::int32_t unit) {
  if (!validRequest(length, selector, unit)) {
    return std::nullopt;
  }
  if (requestCode < 0 || requestCode > 0xFF) {
    log_.error("CameraControl Error: Invalid request code %d", requestCode);
    return std::nullopt;
  }
  std::array<std::uint8_t, kMaxValueBytes> bytes{};
  UVCControlRequest request;
  request.bmRequestType = kUvcRequestTypeGet;
  request.bRequest = static_cast<std::uint8_t>(requestCode);
  request.wValue = wordFor(selector);
  request.wIndex = wordFor(unit);
  request.wLength = static_cast<std::uint16_t>(length);
  request.pData = bytes.data();
  request.wLenDone = 0;
  if (!sendControlRequest(request)) {
    return std::nullopt;
  }
  std::uint64_t raw = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    raw |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  }
  return static_cast<std::int64_t>(raw);
}

std::pair<std::int32_t, std::int32_t> UVCCameraControl::getRangeForControl(
    const UVCControlInfo& /*control*/) const {
  return {kMinimumValue, kMaximumValue};
}

bool UVCCameraControl::setValue(std::int32_t value, const UVCControlInfo& control) {
  const auto [minimum, maximum] = getRangeForControl(control);
  return setData(std::clamp(value, minimum, maximum), control.size, control.selector, control.unit);
}

std::int32_t UVCCameraControl::getValueForControl(const UVCControlInfo& control) {
  return static_cast<std::int32_t>(
      getDataFor(kUvcGetCur, control.size, control.selector, control.unit));
}

namespace {

// The image setters take 64-bit values; anything beyond 32 bits is clamped like any other
// out-of-range value instead of wrapping into the range.
std::int32_t narrowed(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, UVCCameraControl::kMinimumValue,
                                                            UVCCameraControl::kMaximumValue));
}

}  // namespace

bool UVCCameraControl::setBrightness(std::int64_t value) {
  return setValue(narrowed(value), kUvcBrightness);
}
bool UVCCameraControl::setContrast(std::int64_t value) {
  return setValue(narrowed(value), kUvcContrast);
}
bool UVCCameraControl::setSaturation(std::int64_t value) {
  return setValue(narrowed(value), kUvcSaturation);
}
bool UVCCameraControl::setSharpness(std::int64_t value) {
  return setValue(narrowed(value), kUvcSharpness);
}
std::int64_t UVCCameraControl::getBrightness() { return getValueForControl(kUvcBrightness); }
std::int64_t UVCCameraControl::getContrast() { return getValueForControl(kUvcContrast); }
std::int64_t UVCCameraControl::getSaturation() { return getValueForControl(kUvcSaturation); }
std::int64_t UVCCameraControl::getSharpness() { return getValueForControl(kUvcSharpness); }

namespace {

bool setControl(UVCCameraControl& camera, const UVCControlInfo& control, std::int64_t value) {
  return camera.setData(value, control.size, control.selector, control.unit);
}

std::int64_t getControl(UVCCameraControl& camera, const UVCControlInfo& control) {
  return camera.getDataFor(kUvcGetCur, control.size, control.selector, control.unit);
}

}  // namespace

bool UVCCameraControl::setAutoExposure(bool automatic) {
  return setControl(*this, kUvcAutoExposureMode, automatic ? kUvcExposureAuto : kUvcExposureManual);
}
bool UVCCameraControl::getAutoExposure() {
  return getControl(*this, kUvcAutoExposureMode) == kUvcExposureAuto;
}
bool UVCCameraControl::setExposureTime(std::int64_t hundredMicroseconds) {
  return setControl(*this, kUvcExposureTime, hundredMicroseconds);
}
std::int64_t UVCCameraControl::getExposureTime() { return getControl(*this, kUvcExposureTime); }
bool UVCCameraControl::setGain(std::int64_t value) { return setControl(*this, kUvcGain, value); }
std::int64_t UVCCameraControl::getGain() { return getControl(*this, kUvcGain); }
bool UVCCameraControl::setWhiteBalanceTemperature(std::int64_t kelvin) {
  return setControl(*this, kUvcWhiteBalanceTemperature, kelvin);
}
std::int64_t UVCCameraControl::getWhiteBalanceTemperature() {
  return getControl(*this, kUvcWhiteBalanceTemperature);
}
bool UVCCameraControl::setAutoWhiteBalance(bool automatic) {
  return setControl(*this, kUvcAutoWhiteBalance, automatic ? 1 : 0);
}
bool UVCCameraControl::getAutoWhiteBalance() {
  return getControl(*this, kUvcAutoWhiteBalance) != 0;
}
bool UVCCameraControl::setPeopleCentredFraming(bool on) {
  return setControl(*this, kUvcPeopleCentredFraming, on ? 1 : 0);
}
bool UVCCameraControl::getPeopleCentredFraming() {
  return getControl(*this, kUvcPeopleCentredFraming) != 0;
}
bool UVCCameraControl::setFieldOfView(std::int64_t degrees) {
  return setControl(*this, kUvcFieldOfView, degrees);
}
std::int64_t UVCCameraControl::getFieldOfView() { return getControl(*this, kUvcFieldOfView); }
bool UVCCameraControl::setHorizontalMirror(bool on) {
  return setControl(*this, kUvcHorizontalMirror, on ? 1 : 0);
}
bool UVCCameraControl::getHorizontalMirror() {
  return getControl(*this, kUvcHorizontalMirror) != 0;
}

bool UVCCameraControl::sendControlRequest(UVCControlRequest& request) {
  if (!transport_) {
    log_.error("CameraControl Error: No interface to send request");
    return false;
  }
  const int status = transport_->controlRequest(request);
  if (status != 0) {
    log_.error("CameraControl Error: Control request failed: %08x", static_cast<unsigned>(status));
    return false;
  }
  return true;
}

float UVCCameraControl::mapValue(float value, float fromMin, float fromMax, float toMin,
                                 float toMax) {
  if (fromMax == fromMin) {  // an empty source range has no slope; avoid NaN
    return toMin;
  }
  return (value - fromMin) / (fromMax - fromMin) * (toMax - toMin) + toMin;
}

}  // namespace vexhal
