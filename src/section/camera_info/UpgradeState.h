#pragma once

#include <QString>

namespace vexhal {

// Process-wide state of a firmware installation, shared by the camera info and camera control
// screens: while an installation runs, neither screen closes itself when its camera goes away
// (the camera restarts as part of the update). Main thread only.
bool upgradeInProgress();
void setUpgradeInProgress(bool inProgress);

// Where the downloaded firmware package is kept: the user's documents directory joined with
// "/firmware.bin", computed once.
const QString& firmwarePackagePath();

}  // namespace vexhal
