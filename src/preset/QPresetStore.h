#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "preset/QPreset.h"

class QSettings;

namespace vexhal {

// The presets of one camera model, kept in the settings store under the model's USB ids so that
// every camera of the model sees them. Each change is written through at once. Main thread.
class QPresetStore {
 public:
  // The user's settings store, or a settings file of its own (INI format) when named.
  explicit QPresetStore(QString modelKey, QString fileName = QString());

  // The key of a camera model: its vendor and product ids as "vvvv-pppp" in hexadecimal.
  static QString modelKey(std::uint16_t vendorId, std::uint16_t productId);

  // Every preset, ordered by name. Damaged entries are left out.
  std::vector<QPreset> presets() const;
  std::optional<QPreset> find(const QString& name) const;
  // Adds the preset, or replaces the one of the same name; false (with `error`) when the name is
  // empty or the store could not be written.
  bool save(const QPreset& preset, QString* error = nullptr);
  // False (with `error`) when `from` is missing, `to` is empty or taken, or the store failed.
  bool rename(const QString& from, const QString& to, QString* error = nullptr);
  bool remove(const QString& name, QString* error = nullptr);

 private:
  std::unique_ptr<QSettings> open() const;

  QString modelKey_;
  QString fileName_;
};

}  // namespace vexhal
