// Feeds the whole input as the settings file (INI) that holds a camera's image settings
// (QDataBase) and a camera model's presets (QPresetStore), written into one reused temporary
// folder, and reads it through those classes. What is read lies in its range, and written back
// into a second file and read again is the same.

#include <QDir>
#include <QCoreApplication>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ScratchFolder.h"
#include "device/uvc/VideoControl.h"
#include "preset/QPresetStore.h"
#include "section/camera_control/QDataBase.h"

namespace {

QDir folder;
QString input;
QString copy;
const QString kSerial = QStringLiteral("4C2309A01234");
const QString kModel = QStringLiteral("b206-b215");

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  folder = QDir(QString::fromStdString(makeScratchFolder("settings_record_fuzz")));
  input = folder.filePath(QStringLiteral("input.ini"));
  copy = folder.filePath(QStringLiteral("copy.ini"));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vexhal::QUVCParams;
  QFile file(input);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
          static_cast<qint64>(size)) {
    __builtin_trap();
  }
  file.close();

  if (const auto params = vexhal::QDataBase(input).getUVCParams(kSerial)) {
    if (params->mode < QUVCParams::ImageMode::standard ||
        params->mode > QUVCParams::ImageMode::custom) {
      __builtin_trap();
    }
    for (const auto& [key, value] : params->further) {
      if (key.empty() || vexhal::videoControlKey(key) != key) {
        __builtin_trap();
      }
    }
    const vexhal::QDataBase second(copy);
    if (!second.setUVCParams(*params, kSerial) || second.getUVCParams(kSerial) != params) {
      __builtin_trap();
    }
  }

  vexhal::QPresetStore second(kModel, copy);
  for (const vexhal::QPreset& preset : vexhal::QPresetStore(kModel, input).presets()) {
    // Removed again, so the second file does not grow from run to run.
    if (preset.name.isEmpty() || !second.save(preset) || second.find(preset.name) != preset ||
        !second.remove(preset.name)) {
      __builtin_trap();
    }
  }
  return 0;
}
