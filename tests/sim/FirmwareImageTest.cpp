// The virtual camera's firmware image format.
#include <gtest/gtest.h>

#include <zlib.h>

#include <functional>
#include <tuple>

#include "FirmwareImage.h"

namespace vexhal::sim {
namespace {

TEST(FirmwareImage, LayoutIsHeaderPayloadAndCrc32) {
  const QByteArray image = buildFirmwareImage({1, 2, 250}, QByteArray("abc"));
  ASSERT_EQ(image.size(), 12 + 3 + 4);
  EXPECT_EQ(image.left(8), QByteArray("VXFW\x01\x02\xFA\x00", 8));
  EXPECT_EQ(image.mid(8, 4), QByteArray("\x03\x00\x00\x00", 4));
  EXPECT_EQ(image.mid(12, 3), QByteArray("abc"));
  const auto crc =
      static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(image.constData()), 15));
  EXPECT_EQ(static_cast<std::uint8_t>(image[15]), crc & 0xFF);
  EXPECT_EQ(static_cast<std::uint8_t>(image[18]), crc >> 24);

  const FirmwareImageCheck check = checkFirmwareImage(image);
  EXPECT_TRUE(check.ok());
  EXPECT_EQ(check.version, (FirmwareVersion{1, 2, 250}));
  EXPECT_EQ(check.version.text(), "1.2.-6");  // as the program shows the camera's bytes
  EXPECT_TRUE(checkFirmwareImage(buildFirmwareImage({0, 0, 1}, QByteArray())).ok());
}

TEST(FirmwareImage, ASpoiltImageIsNamedForWhatIsWrong) {
  using Spoil = std::function<void(QByteArray&)>;
  for (const auto& [name, spoil, error] :
       std::vector<std::tuple<const char*, Spoil, FirmwareImageError>>{
           {"Empty", [](QByteArray& i) { i.clear(); }, FirmwareImageError::TooShort},
           {"HeaderOnly", [](QByteArray& i) { i.truncate(15); }, FirmwareImageError::TooShort},
           {"Magic", [](QByteArray& i) { i[3] = 'X'; }, FirmwareImageError::BadMagic},
           {"LengthField", [](QByteArray& i) { i[9] = 0x7F; }, FirmwareImageError::LengthMismatch},
           {"Appended", [](QByteArray& i) { i.append('\0'); }, FirmwareImageError::LengthMismatch},
           {"PayloadByte", [](QByteArray& i) { i[2000] = 'q'; }, FirmwareImageError::BadChecksum},
           {"VersionByte", [](QByteArray& i) { i[4] = 3; }, FirmwareImageError::BadChecksum},
           {"Checksum", [](QByteArray& i) { i[i.size() - 1] = static_cast<char>(i.back() ^ 0x80); },
            FirmwareImageError::BadChecksum}}) {
    QByteArray image = buildFirmwareImage({2, 0, 0}, QByteArray(5000, 'p'));
    spoil(image);
    EXPECT_EQ(checkFirmwareImage(image).error, error) << name;
  }
}

}  // namespace
}  // namespace vexhal::sim
