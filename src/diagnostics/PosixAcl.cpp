#include "diagnostics/PosixAcl.h"

#include <QFile>

#include <sys/xattr.h>

#include <cstdint>

namespace vexhal::diagnostics {

namespace {

// The kernel's layout: a little-endian version word, then entries of tag, permissions and id.
constexpr std::uint32_t kVersion = 2;
constexpr std::uint16_t kUser = 0x02;
constexpr std::uint16_t kMask = 0x10;
constexpr int kHeaderSize = 4;
constexpr int kEntrySize = 8;

std::uint32_t littleEndian(const QByteArray& bytes, int at, int length) {
  std::uint32_t value = 0;
  for (int i = length - 1; i >= 0; --i)
    value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

QString permissionText(std::uint32_t bits) {
  return QString(QLatin1Char((bits & 4) != 0 ? 'r' : '-')) +
         QLatin1Char((bits & 2) != 0 ? 'w' : '-') + QLatin1Char((bits & 1) != 0 ? 'x' : '-');
}

}  // namespace

QByteArray PosixAcl::read(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  const ssize_t size = ::getxattr(native.constData(), "system.posix_acl_access", nullptr, 0);
  if (size <= 0) return {};
  QByteArray bytes(size, '\0');
  const ssize_t got =
      ::getxattr(native.constData(), "system.posix_acl_access", bytes.data(), bytes.size());
  return got > 0 ? bytes.left(got) : QByteArray();
}

std::optional<QString> PosixAcl::userEntry(const QByteArray& attribute, uid_t uid) {
  if (attribute.size() < kHeaderSize || (attribute.size() - kHeaderSize) % kEntrySize != 0 ||
      littleEndian(attribute, 0, 4) != kVersion)
    return std::nullopt;
  std::optional<std::uint32_t> granted;
  std::uint32_t mask = 7;
  for (int at = kHeaderSize; at < attribute.size(); at += kEntrySize) {
    const std::uint32_t tag = littleEndian(attribute, at, 2);
    const std::uint32_t bits = littleEndian(attribute, at + 2, 2);
    if (tag == kUser && littleEndian(attribute, at + 4, 4) == uid) granted = bits;
    if (tag == kMask) mask = bits;
  }
  if (!granted) return std::nullopt;
  return permissionText(*granted & mask);
}

}  // namespace vexhal::diagnostics
