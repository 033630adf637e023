#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

#include "section/camera_control/QUVCParams.h"

// How the control screens show the camera's values: selector items, slider positions and
// their labels.
namespace vexhal::cameraparams {

// A slider position p (0 to 100) stands for the camera value p + 78.
inline constexpr std::int64_t uvcValueOffset = 78;
inline constexpr int kSliderMaximum = 100;

std::int64_t uvcValueForPosition(int position);
// The slider position of a camera value, limited to 0..100.
int positionForUvcValue(std::int64_t value);
// The position as a label: "0" for 0, otherwise the number followed by "%".
QString positionLabel(int position);
// The mode for a mode-selector item; custom for any item past the last mode.
QUVCParams::ImageMode imageModeForItem(int item);

QStringList angleItems();
// 60 + 30 x item, for the three items.
std::int64_t angleForItem(int item);
// 60 shows the first item, 90 the second, any other value the third.
int itemForAngle(std::int64_t angle);

QStringList pickupItems();
// 30, 50 and 80 for the three items.
std::int64_t pickupForItem(int item);
// 30 shows the first item, 80 the third, any other value the second.
int itemForPickup(std::int64_t pickup);

}  // namespace vexhal::cameraparams
