#include "section/about/QAppVersion.h"

namespace vexhal {

QString QAppVersion::displayName() { return QStringLiteral("VexhalTools"); }

QString QAppVersion::shortVersion() { return QStringLiteral(VEXHAL_VERSION); }

QString QAppVersion::gitVersion() { return QStringLiteral(VEXHAL_GIT_DESCRIBE); }

}  // namespace vexhal
