#include "FirmwareImage.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace vexhal::sim {

namespace {

constexpr std::array<char, 4> kMagic{'V', 'X', 'F', 'W'};

void appendLe32(QByteArray& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes.append(static_cast<char>((value >> (8 * i)) & 0xFFU));
  }
}

std::uint32_t readLe32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<std::uint8_t>(bytes[i]);
  }
  return value;
}

std::uint32_t crc32Of(const char* bytes, std::size_t length) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes lengths as uInt: feed larger images in pieces.
  while (length > 0) {
    const auto piece = static_cast<uInt>(std::min<std::size_t>(length, 1U << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes), piece);
    bytes += piece;
    length -= piece;
  }
  return static_cast<std::uint32_t>(crc);
}

}  // namespace

std::string FirmwareVersion::text() const {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d", static_cast<std::int8_t>(major),
                static_cast<std::int8_t>(minor), static_cast<std::int8_t>(patch));
  return text;
}

QByteArray buildFirmwareImage(FirmwareVersion version, const QByteArray& payload) {
  QByteArray image;
  image.reserve(static_cast<qsizetype>(kFirmwareHeaderSize + kFirmwareTrailerSize) +
                payload.size());
  image.append(kMagic.data(), static_cast<qsizetype>(kMagic.size()));
  image.append(static_cast<char>(version.major));
  image.append(static_cast<char>(version.minor));
  image.append(static_cast<char>(version.patch));
  image.append('\0');
  appendLe32(image, static_cast<std::uint32_t>(payload.size()));
  image.append(payload);
  appendLe32(image, crc32Of(image.constData(), static_cast<std::size_t>(image.size())));
  return image;
}

FirmwareImageCheck checkFirmwareImage(const QByteArray& image) {
  const auto size = static_cast<std::size_t>(image.size());
  if (size < kFirmwareHeaderSize + kFirmwareTrailerSize) {
    return {FirmwareImageError::TooShort, {}};
  }
  const char* bytes = image.constData();
  if (!std::equal(kMagic.begin(), kMagic.end(), bytes)) {
    return {FirmwareImageError::BadMagic, {}};
  }
  const std::uint64_t payloadLength = readLe32(bytes + 8);
  if (payloadLength != size - kFirmwareHeaderSize - kFirmwareTrailerSize) {
    return {FirmwareImageError::LengthMismatch, {}};
  }
  const std::size_t checked = size - kFirmwareTrailerSize;
  if (crc32Of(bytes, checked) != readLe32(bytes + checked)) {
    return {FirmwareImageError::BadChecksum, {}};
  }
  return {FirmwareImageError::None,
          {static_cast<std::uint8_t>(bytes[4]), static_cast<std::uint8_t>(bytes[5]),
           static_cast<std::uint8_t>(bytes[6])}};
}

}  // namespace vexhal::sim
