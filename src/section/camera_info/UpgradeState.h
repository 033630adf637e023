#pragma once

#include <QString>

namespace vexhal {

// Where the downloaded firmware package is kept: "firmware.bin" in the program's cache folder
// ($XDG_CACHE_HOME/VexhalTools/VexhalTools), computed once, after the application's names are set.
const QString& firmwarePackagePath();

}  // namespace vexhal
