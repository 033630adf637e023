// Feeds the whole input, as one received image, to the virtual camera's firmware image check.
// An accepted image is rebuilt from its version and payload, and the rebuilt one must be
// accepted with the same version and equal the input wherever the header's spare byte is zero.

#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vexhal::sim;
  const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const FirmwareImageCheck check = checkFirmwareImage(image);
  if (!check.ok()) {
    if (check.error == FirmwareImageError::TooShort &&
        size >= kFirmwareHeaderSize + kFirmwareTrailerSize) {
      __builtin_trap();
    }
    return 0;
  }
  const auto payloadSize =
      static_cast<qsizetype>(size - kFirmwareHeaderSize - kFirmwareTrailerSize);
  const QByteArray rebuilt =
      buildFirmwareImage(check.version, image.mid(kFirmwareHeaderSize, payloadSize));
  const FirmwareImageCheck again = checkFirmwareImage(rebuilt);
  if (!again.ok() || again.version != check.version) __builtin_trap();
  if (image[7] == '\0' && rebuilt != image) __builtin_trap();
  return 0;
}
