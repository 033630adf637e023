#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

#include "preset/QPreset.h"

namespace vexhal {

// Presets as a small versioned JSON file ("name.vexhal-preset.json"), to carry them to another
// computer. Reading refuses files that are too large, too deeply nested, of an unknown version
// or not of this shape, with a message a person can act on.
class QPresetFile {
 public:
  static constexpr int kVersion = 1;
  static constexpr qint64 kMaxBytes = 1024 * 1024;
  static constexpr int kMaxDepth = 8;
  static constexpr const char* kSuffix = ".vexhal-preset.json";

  static QByteArray toJson(const std::vector<QPreset>& presets);
  static std::optional<std::vector<QPreset>> fromJson(const QByteArray& bytes, QString* error);

  // Written whole or not at all; false with `error` when it could not be written.
  static bool write(const QString& path, const std::vector<QPreset>& presets, QString* error);
  // Checks the size before reading the file.
  static std::optional<std::vector<QPreset>> read(const QString& path, QString* error);
};

}  // namespace vexhal
