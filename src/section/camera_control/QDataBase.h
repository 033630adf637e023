#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "section/camera_control/QUVCParams.h"

class QSettings;

namespace vexhal {

// The image settings stored on this computer, one record per camera serial number. Used on the
// main thread only.
class QDataBase {
 public:
  // The user's settings store of this application.
  QDataBase() = default;
  // A settings file of its own, in INI format.
  explicit QDataBase(QString fileName) : fileName_(std::move(fileName)) {}
  const QString& fileName() const { return fileName_; }

  // The record stored for the camera, or nothing when none was stored. Values that are missing
  // or damaged read as custom for the mode and 128 for the image values; a further control
  // that is not stored whole is left out.
  std::optional<QUVCParams> getUVCParams(const QString& serialNumber) const;
  // The record of the camera whose serial number is given as the camera sent it: under its
  // storage key, or else under the zero-padded text that earlier versions stored it under.
  std::optional<QUVCParams> findUVCParams(const std::optional<std::string>& serialNumber) const;
  // Replaces the camera's record and writes the store through at once. Further controls under
  // a key that is not a control key are not stored. False when the record
  // did not reach the store; the store then keeps what it had.
  bool setUVCParams(const QUVCParams& params, const QString& serialNumber) const;

  // Whether the camera's stored image settings are to be kept (put back when another program
  // changes them), by its storage key. On unless switched off; a damaged value reads as on.
  bool keepsImageSettings(const QString& storageKey) const;
  // Stores the switch and writes the store through at once; false when it did not reach it.
  bool setKeepsImageSettings(const QString& storageKey, bool keep) const;

  // The key a camera's settings are stored under: its serial number as the camera sent it,
  // without the zero bytes that pad it to 13 bytes; nothing when no text is left.
  static std::optional<QString> storageKey(const std::optional<std::string>& serialNumber);

  // Writes `settings` through to its file at once; true when the write reached it. When the
  // store's status cannot tell (a damaged line was read before), `holds` is asked whether a
  // copy of the file, named by its argument, holds what was written.
  static bool writeThrough(QSettings& settings, const std::function<bool(const QString&)>& holds);

  // The settings group of a serial number. Every text maps to its own group: characters other
  // than letters, digits, '-' and '.' are written as "_XX" or "_uXXXX", and the empty
  // text as "_".
  static QString groupFor(const QString& serialNumber);

 private:
  // A settings object per operation, so that an error met once does not stick to every later
  // operation.
  std::unique_ptr<QSettings> open() const;

  QString fileName_;  // empty: the user's settings store
};

}  // namespace vexhal
