// Feeds the whole input as a preset file to QPresetFile::fromJson. An accepted file keeps the
// format's limits, and written with toJson and read again gives the same presets.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <set>

#include "preset/QPresetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vexhal::QPresetFile;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QString error;
  const auto presets = QPresetFile::fromJson(bytes, &error);
  if (!presets) {
    if (error.isEmpty()) {
      __builtin_trap();  // a refusal always says why
    }
    return 0;
  }
  std::set<QString> names;
  for (const vexhal::QPreset& preset : *presets) {
    if (preset.name.isEmpty() || preset.name.size() > 64 || !names.insert(preset.name).second ||
        preset.controls.size() > 128) {
      __builtin_trap();
    }
    for (const auto& [key, value] : preset.controls) {
      if (key.empty() || value.minimum > value.maximum || value.step < 0) {
        __builtin_trap();
      }
    }
  }
  if (presets->size() > 100) {
    __builtin_trap();
  }
  QString again;
  const auto reread = QPresetFile::fromJson(QPresetFile::toJson(*presets), &again);
  if (!reread || *reread != *presets) {
    __builtin_trap();
  }
  return 0;
}
