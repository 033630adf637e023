#pragma once

#include <QByteArray>

#include <cstdint>
#include <string>

namespace vexhal::sim {

// A firmware version as the camera reports it: three numbers, each one byte on the wire.
struct FirmwareVersion {
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
  std::uint8_t patch = 0;

  friend bool operator==(const FirmwareVersion&, const FirmwareVersion&) = default;
  // "1.2.3", as the program shows a version the camera reports.
  std::string text() const;
};

// The virtual camera's firmware image: a 12-byte header ("VXFW", the version's three bytes, one
// zero byte, the payload length as 32-bit little-endian), the payload, then the CRC-32 (zlib's)
// of header and payload, 32-bit little-endian.
inline constexpr std::size_t kFirmwareHeaderSize = 12;
inline constexpr std::size_t kFirmwareTrailerSize = 4;

enum class FirmwareImageError {
  None,
  TooShort,  // shorter than header and trailer
  BadMagic,
  LengthMismatch,  // the header's payload length disagrees with the image size
  BadChecksum,
};

struct FirmwareImageCheck {
  FirmwareImageError error = FirmwareImageError::None;
  FirmwareVersion version;  // valid only without error

  bool ok() const { return error == FirmwareImageError::None; }
};

// An image carrying `payload` that announces `version`.
QByteArray buildFirmwareImage(FirmwareVersion version, const QByteArray& payload);

// Checks a whole received image.
FirmwareImageCheck checkFirmwareImage(const QByteArray& image);

}  // namespace vexhal::sim
