#pragma once

#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace vexhal {
class USBDevice;
}

namespace vexhal::diagnostics {

// Asks every camera for its state, version, serial number and function values over its HID
// link, all at once, on the main thread. Each camera's answers end up in a JSON object
// ({"autoFraming": 1, …}; a field that failed holds its reason as text); the camera's state,
// version and serial are then those the device keeps. Finishes when every request has
// completed or `bound` has passed, whichever comes first.
class HidFactsReader : public QObject {
  Q_OBJECT

 public:
  using Done = std::function<void(std::vector<QJsonObject> functions)>;

  HidFactsReader(std::vector<std::shared_ptr<USBDevice>> devices, std::chrono::milliseconds bound,
                 Done done);

 private:
  void answered();
  void finish();

  std::vector<std::shared_ptr<USBDevice>> devices_;
  std::vector<QJsonObject> functions_;
  Done done_;
  QTimer bound_;
  int waiting_ = 0;
};

}  // namespace vexhal::diagnostics
