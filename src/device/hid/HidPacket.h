#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace vexhal {

// An unsigned integer stored as little-endian bytes, whatever the host's byte order. Its
// alignment is 1, so structures built from it have no padding.
template <typename T>
class LittleEndian {
  static_assert(std::is_unsigned_v<T>);

 public:
  constexpr T get() const {
    T value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) {
      value = static_cast<T>((value << 8) | bytes_[i]);
    }
    return value;
  }
  constexpr void set(T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      bytes_[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  }

 private:
  std::array<std::uint8_t, sizeof(T)> bytes_{};
};

// Header of every report exchanged with the camera, both directions. In a reply, `packNum`
// carries the camera's result code.
struct hid_cmd_head_t {
  std::uint8_t reportId;
  LittleEndian<std::uint16_t> magic;
  LittleEndian<std::uint16_t> cmd;
  std::uint8_t dataStatus;
  LittleEndian<std::uint16_t> dataLength;
  LittleEndian<std::uint32_t> packNum;
  LittleEndian<std::uint16_t> crc;
};

inline constexpr std::size_t kHidPacketSize = 1024;
inline constexpr std::size_t kHidHeaderSize = 14;
inline constexpr std::size_t kHidDataCapacity = kHidPacketSize - kHidHeaderSize;
inline constexpr std::uint16_t kHidMagic = 0x5A5A;
inline constexpr std::uint8_t kHidReportId = 0x01;
inline constexpr std::size_t kHidChecksummedHeaderBytes = 12;
inline constexpr std::uint16_t kHidChecksumSeed = 0xFFFF;

// `dataStatus` values of a request.
inline constexpr std::uint8_t kHidNoData = 0;
inline constexpr std::uint8_t kHidDataPresent = 1;
inline constexpr std::uint8_t kHidLastPacket = 2;

// One whole report: header, then the data area.
struct hid_cmd_pack_t {
  hid_cmd_head_t head;
  std::array<std::uint8_t, kHidDataCapacity> data;

  // The report exactly as it travels, byte 0 first.
  std::span<const std::uint8_t, kHidPacketSize> bytes() const {
    return std::span<const std::uint8_t, kHidPacketSize>(
        reinterpret_cast<const std::uint8_t*>(this), kHidPacketSize);
  }
  std::span<std::uint8_t, kHidPacketSize> bytes() {
    return std::span<std::uint8_t, kHidPacketSize>(reinterpret_cast<std::uint8_t*>(this),
                                                   kHidPacketSize);
  }
};

static_assert(sizeof(hid_cmd_head_t) == kHidHeaderSize && alignof(hid_cmd_head_t) == 1);
static_assert(sizeof(hid_cmd_pack_t) == kHidPacketSize && alignof(hid_cmd_pack_t) == 1);
static_assert(std::is_trivially_copyable_v<hid_cmd_pack_t> &&
              std::is_standard_layout_v<hid_cmd_pack_t>);

// 16-bit CRC in the right-shifting form with the constant 0x1021, continued from `initial`.
std::uint16_t hidChecksum(std::span<const std::uint8_t> bytes, std::uint16_t initial);

// A request header with the given fields; its checksum covers header bytes 0 to 11 only.
hid_cmd_head_t newHeader(std::uint16_t cmd, std::uint8_t dataStatus = kHidNoData,
                         std::uint16_t dataLength = 0, std::uint32_t packNum = 0);

// An all-zero report carrying the header-only request for `cmd`.
hid_cmd_pack_t getPackage(std::uint16_t cmd);

// Recomputes and stores the checksum over header bytes 0 to 11 and the first `dataLength`
// data bytes (clamped to the data area).
void sealPacket(hid_cmd_pack_t& pack);

}  // namespace vexhal
