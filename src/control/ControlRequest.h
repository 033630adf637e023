#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vexhal::control {

// One camera operation asked for from the command line: carried out in the same process, or
// sent as one JSON line to the running program, which carries it out on its own device layer.
struct ControlRequest {
  // The protocol's version; a peer answers a request of another version with a usage failure.
  static constexpr int kProtocolVersion = 1;

  enum class Command {
    List,
    Get,
    Set,
    Save,
    Firmware,
    CheckUpdate,
    Diagnostics,
    Doctor,
    Preset,
    Demo
  };
  // What a preset request does with the presets of the camera's model.
  enum class PresetAction { List, Save, Apply, Export, Import };

  Command command = Command::List;
  // A serial number as the screens show it, or a hidraw node ("/dev/hidraw3"); empty: the only
  // camera present.
  QString camera;
  // Get: setting names (empty: all of them). Set: "name=value" items, applied in this order.
  // Besides the settings' words, the camera's further controls by their keys.
  // Demo: the words of one command to the demo's virtual camera ("fault", "slow", "3000").
  QStringList settings;
  // Firmware: the package to install. CheckUpdate: where to save the download (empty: no
  // download). Diagnostics: the zip to write. Preset export and import: the preset file.
  QString file;
  // Preset: the action and the preset's name (none for list, import and export of all).
  PresetAction presetAction = PresetAction::List;
  QString presetName;
  // Preset export: every preset of the model rather than one.
  bool allPresets = false;
  // Diagnostics: serial numbers become a stable hash in every file of the zip.
  bool maskSerials = false;
  // Firmware: wait for the camera to come back and check its version.
  bool wait = true;
  // How long the camera may take to answer each step (a firmware restart has its own bound).
  std::chrono::milliseconds timeout{5000};

  friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

// The command's word on the command line and in the protocol ("list", "check-update"), and back.
QString commandWord(ControlRequest::Command command);
std::optional<ControlRequest::Command> commandFromWord(const QString& word);
QString presetActionWord(ControlRequest::PresetAction action);
std::optional<ControlRequest::PresetAction> presetActionFromWord(const QString& word);

// The request as one protocol object, {"v":1,"command":"get",...}, and back; a malformed object
// gives nothing and says why in `error`.
QJsonObject toJson(const ControlRequest& request);
std::optional<ControlRequest> requestFromJson(const QJsonObject& object, QString* error);

}  // namespace vexhal::control
