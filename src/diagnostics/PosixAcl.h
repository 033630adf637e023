#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <optional>

namespace vexhal::diagnostics {

// The access control list of a file, as the kernel stores it in the extended attribute
// "system.posix_acl_access".
class PosixAcl {
 public:
  // The attribute's bytes; empty when the file has none or it cannot be read.
  static QByteArray read(const QString& path);
  // The permissions the list grants the user `uid` by an entry naming it, limited by the mask:
  // "rw-"; nothing when no entry names the user or the bytes are not an access control list.
  static std::optional<QString> userEntry(const QByteArray& attribute, uid_t uid);
};

}  // namespace vexhal::diagnostics
