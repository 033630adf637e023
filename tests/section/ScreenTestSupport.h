#pragma once

// What the screen suites share: a virtual camera found by the program's own HID manager, the
// event loop, and readers of the toasts, dialogs and log lines the screens leave behind.

#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimHidDiscovery.h"
#include "VirtualCameraRig.h"
#include "common/EventLoop.h"
#include "common/QAlertController.h"
#include "common/QParagraphLabel.h"
#include "common/UiTestSupport.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidManager.h"
#include "extension/QHudOverlay.h"
#include "extension/QProgressHUD.h"
#include "extension/QToastView.h"

namespace vexhal::test {

// Enough event loop rounds for every report already written to be answered and every posted
// completion to run.
inline void settle() { pumpEvents(30); }

inline sim::VirtualCameraIdentity identity(const std::string& serial, std::int64_t locationId) {
  sim::VirtualCameraIdentity id;
  id.serialNumber = serial;
  id.locationId = locationId;
  return id;
}

// Two virtual cameras under the program's own HID manager, unplugged until the test plugs them.
struct TwoCameras {
  TwoCameras()
      : first(identity("VXK31D2612001", 0x03142000)),
        second(identity("VXK31D2612002", 0x03143000)),
        manager(std::make_unique<sim::SimHidDiscovery>(std::vector<sim::VirtualCamera*>{&first, &second})) {
    manager.startMonitoringForVendorID(first.vendorId(), first.productId());
  }

  // Plugs `camera` in and waits until the manager has it.
  void plug(sim::VirtualCamera& camera) {
    const std::size_t before = manager.devices().size();
    camera.plug();
    ASSERT_TRUE(waitUntil([&] { return manager.devices().size() == before + 1; }));
  }

  sim::VirtualCamera first;
  sim::VirtualCamera second;
  USBHidManager manager;
};

struct CameraOnManager {
  explicit CameraOnManager(sim::VirtualCameraIdentity id = {})
      : rig(std::move(id)), manager(rig.makeDiscovery()) {
    manager.startMonitoringForVendorID(rig.camera().vendorId(), rig.camera().productId());
    waitUntil([this] { return !manager.devices().empty(); });
    if (!manager.devices().empty()) device = manager.devices().front();
  }

  sim::VirtualCamera& camera() { return rig.camera(); }

  sim::VirtualCameraRig rig;
  USBHidManager manager;
  std::shared_ptr<USBDevice> device;
};

// How many logged lines contain `text`.
inline std::size_t countLogged(const std::string& text) {
  const std::vector<std::string> lines = loggedLines();
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [&](const auto& line) { return line.find(text) != std::string::npos; }));
}

// The text of the toast on `window`, if one is shown.
inline std::optional<QString> toastText(QWidget* window) {
  QProgressHUD* toast = QHudOverlay::toast(window);
  auto* view = toast != nullptr ? qobject_cast<QToastView*>(toast->customView()) : nullptr;
  return view != nullptr ? std::optional(view->label()->text()) : std::nullopt;
}

// The open top-level widget of type T, if any.
template <typename T>
T* shown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* match = qobject_cast<T*>(widget); match != nullptr && match->isVisible()) {
      return match;
    }
  }
  return nullptr;
}

// The titles of an alert's actions, in order.
inline QStringList actionTitles(const QAlertController* alert) {
  QStringList titles;
  for (const auto& action : alert->actions()) {
    titles << action->title.value_or(QString());
  }
  return titles;
}

// Clicks the alert's action titled `title`.
inline void choose(const QAlertController* alert, const QString& title) {
  for (const auto& action : alert->actions()) {
    if (action->title == title) action->button->click();
  }
}

}  // namespace vexhal::test
