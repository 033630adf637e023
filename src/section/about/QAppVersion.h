#pragma once

#include <QString>

namespace vexhal {

// The program's own version texts, fixed when it is built.
struct QAppVersion {
  // The product name shown in update sheets.
  static QString displayName();
  // The release version, e.g. "1.0.0".
  static QString shortVersion();
  // What `git describe` said about the source it was built from; empty when unknown.
  static QString gitVersion();
};

}  // namespace vexhal
