#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "device/uvc/UVCControlInfo.h"
#include "device/uvc/UVCControlRequest.h"
#include "device/uvc/UVCTransport.h"
#include "device/uvc/UVCTransportFactory.h"

namespace vexhal {

// Image parameters of one camera, read and written with UVC control requests on its
// video-control interface. Every request is synchronous and runs on the calling thread (the
// main thread for every caller). Failures are logged and reported as false or 0.
class UVCCameraControl {
 public:
  // The camera at this USB location id. Always yields an object; without a camera every
  // request fails.
  UVCCameraControl(std::uint32_t locationId, UVCTransportFactory& factory);
  // A camera's channel found elsewhere (null: no camera), failures going to `log`.
  explicit UVCCameraControl(std::unique_ptr<UVCTransport> transport, UVCLog log = UVCLog());

  // The camera whose capture device has this unique identifier ("0x", the location id in
  // hexadecimal, optionally followed by the four-digit vendor and product ids).
  static UVCCameraControl withUniqueId(std::string_view uniqueId, UVCTransportFactory& factory);
  // The first camera with these USB ids.
  static UVCCameraControl withVendorProduct(std::int64_t vendorId, std::int64_t productId,
                                            UVCTransportFactory& factory);

  // The location id a capture device's unique identifier names, if it names one.
  static std::optional<std::uint32_t> locationIdFromUniqueId(std::string_view uniqueId);

  bool hasInterface() const { return transport_ != nullptr; }

  // SET_CUR of the value's low `length` bytes, lowest first.
  bool setData(std::int64_t value, std::int32_t length, std::int32_t selector, std::int32_t unit);
  // A GET request; the answer read as a little-endian number, 0 on failure.
  // The same, none when the request fails.
  std::optional<std::int64_t> tryGetDataFor(std::int32_t request, std::int32_t length,
                                            std::int32_t selector, std::int32_t unit);
  std::int64_t getDataFor(std::int32_t request, std::int32_t length, std::int32_t selector,
                          std::int32_t unit);

  // The image controls' fixed range.
  static constexpr std::int32_t kMinimumValue = 78;
  static constexpr std::int32_t kMaximumValue = 178;
  std::pair<std::int32_t, std::int32_t> getRangeForControl(const UVCControlInfo& control) const;

  // Clamps the value into the range and sets it.
  bool setValue(std::int32_t value, const UVCControlInfo& control);
  std::int32_t getValueForControl(const UVCControlInfo& control);

  bool setBrightness(std::int64_t value);
  bool setContrast(std::int64_t value);
  bool setSaturation(std::int64_t value);
  bool setSharpness(std::int64_t value);
  std::int64_t getBrightness();
  std::int64_t getContrast();
  std::int64_t getSaturation();
  std::int64_t getSharpness();

  // Further controls, sent unclamped with their own sizes.
  bool setAutoExposure(bool automatic);
  bool getAutoExposure();
  bool setExposureTime(std::int64_t hundredMicroseconds);
  std::int64_t getExposureTime();
  bool setGain(std::int64_t value);
  std::int64_t getGain();
  bool setWhiteBalanceTemperature(std::int64_t kelvin);
  std::int64_t getWhiteBalanceTemperature();
  bool setAutoWhiteBalance(bool automatic);
  bool getAutoWhiteBalance();
  bool setPeopleCentredFraming(bool on);
  bool getPeopleCentredFraming();
  bool setFieldOfView(std::int64_t degrees);
  std::int64_t getFieldOfView();
  bool setHorizontalMirror(bool on);
  bool getHorizontalMirror();

  bool sendControlRequest(UVCControlRequest& request);

  // Maps a value linearly from one range onto another, in single precision (toMin for an
  // empty source range).
  static float mapValue(float value, float fromMin, float fromMax, float toMin, float toMax);

 private:
  bool validRequest(std::int32_t length, std::int32_t selector, std::int32_t unit) const;

  std::unique_ptr<UVCTransport> transport_;
  UVCLog log_;
};

}  // namespace vexhal
