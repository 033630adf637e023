#pragma once

#include <QString>

namespace vexhal {

// The program's entry in the desktop's autostart folder: while it is there, the desktop starts
// the program at login, in the tray without its window.
class AutostartEntry {
 public:
  // The entry in `directory` starting `program`.
  AutostartEntry(QString directory, QString program);

  // The user's autostart folder: $XDG_CONFIG_HOME/autostart.
  static QString defaultDirectory();

  QString filePath() const;
  bool isEnabled() const;
  // Writes or removes the entry; false, with the reason in `error`, when that failed.
  bool setEnabled(bool enabled, QString* error);

  // What the entry holds.
  QByteArray contents() const;

 private:
  QString directory_;
  QString program_;
};

}  // namespace vexhal
