#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

#include "cli/CtlOptions.h"

namespace vexhal::cli {

// vexhalctl's command line: a command word, its arguments and the options, read into a control
// request. Paths are made absolute here, since the request may be carried out by the running
// program, which has a working folder of its own.
class CtlCommandLine {
 public:
  CtlCommandLine();

  // Parses the arguments (program name first). Returns an exit code when vexhalctl should stop
  // here: 0 after putting help or version into `out`, 2 after putting a one-line error and a
  // hint into `err`. Otherwise options() holds what was asked for.
  std::optional<int> parse(const QStringList& arguments, QString& out, QString& err);

  const CtlOptions& options() const { return options_; }

  static QString versionText();

 private:
  // The arguments after the command word, checked for `command`; empty when they fit.
  QString readArguments(control::ControlRequest::Command command, const QStringList& arguments);
  QString readPresetArguments(QStringList arguments);
  QString readOptions(control::ControlRequest::Command command);

  QCommandLineParser parser_;
  CtlOptions options_;
};

}  // namespace vexhal::cli
