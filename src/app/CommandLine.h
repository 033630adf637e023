#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace vexhal {

// The program's command line, read before any window system is touched so that --help and
// --version work without a display. Options the program acts on are declared in the constructor
// and read back with isSet(); Qt's own GUI options (-platform, -style, ...) are accepted and left
// for QApplication.
class CommandLine {
 public:
  CommandLine();

  // Parses the arguments (program name first). Returns an exit code when the program should stop
  // here: 0 after printing help or version to `out`, 2 after printing an error to `err`.
  std::optional<int> parse(const QStringList& arguments, QString& out, QString& err);
  // The same for main()'s arguments, printing to stdout and stderr.
  std::optional<int> parse(int argc, char** argv);

  bool isSet(const QString& name) const { return parser_.isSet(name); }

  static QString versionText();

 private:
  QCommandLineParser parser_;
};

}  // namespace vexhal
