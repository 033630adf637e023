#pragma once

#include <QString>

namespace vexhal {

// Process-wide state of a firmware installation, shared by the camera info and camera control
// screens: while an installation runs, neither screen closes itself when its camera goes away
// (the camera restarts as part of the update). Main thread only.
bool upgradeInProgress();
void setUpgradeInProgress(bool inProgress);

// Where the downloaded firmware package is kept: "firmware.bin" in the program's cache folder
// ($XDG_CACHE_HOME/VexhalTools/VexhalTools), computed once, after the application's names are set.
const QString& firmwarePackagePath();

}  // namespace vexhal
