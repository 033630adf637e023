#include "app/CommandLine.h"

#include <QCommandLineOption>

#include <cstdio>

#include "section/about/QAppVersion.h"

namespace vexhal {

namespace {

// QApplication's own options, so `vexhaltools -platform offscreen` still works.
struct GuiOption {
  const char* name;
  bool takesValue;
};
constexpr GuiOption guiOptions[] = {{"platform", true},
                                    {"platformpluginpath", true},
                                    {"platformtheme", true},
                                    {"plugin", true},
                                    {"qwindowgeometry", true},
                                    {"qwindowicon", true},
                                    {"qwindowtitle", true},
                                    {"style", true},
                                    {"stylesheet", true},
                                    {"display", true},
                                    {"geometry", true},
                                    {"session", true},
                                    {"reverse", false},
                                    {"widgetcount", false},
                                    {"nograb", false},
                                    {"dograb", false},
                                    {"sync", false}};

}  // namespace

CommandLine::CommandLine() {
  parser_.setApplicationDescription(
      QStringLiteral("Settings and firmware tool for USB conference cameras."));
  parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  // Not addHelpOption(): its --help-all would promise Qt's options, which stay hidden here.
  parser_.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                       QStringLiteral("Displays help on commandline options.")));
  parser_.addVersionOption();
  parser_.addOption(QCommandLineOption(
      QStringLiteral("demo"),
      QStringLiteral("Run with one virtual camera attached (no hardware needed).")));
  parser_.addOption(QCommandLineOption(
      QStringLiteral("background"),
      QStringLiteral("Start in the tray without showing the window (as at login).")));
  for (const auto& gui : guiOptions) {
    QCommandLineOption option(QString::fromLatin1(gui.name));
    if (gui.takesValue) {
      option.setValueName(QStringLiteral("value"));
    }
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser_.addOption(option);
  }
}

std::optional<int> CommandLine::parse(const QStringList& arguments, QString& out, QString& err) {
  if (!parser_.parse(arguments)) {
    err = QStringLiteral("vexhaltools: %1\nTry 'vexhaltools --help' for more information.\n")
              .arg(parser_.errorText());
    return 2;
  }
  if (parser_.isSet(QStringLiteral("help"))) {
    // Parsed before QApplication exists, so the parser does not know the program's name.
    out = parser_.helpText().replace(QStringLiteral("<executable_name>"),
                                     QStringLiteral("vexhaltools"));
    return 0;
  }
  if (parser_.isSet(QStringLiteral("version"))) {
    out = versionText() + QLatin1Char('\n');
    return 0;
  }
  if (!parser_.positionalArguments().isEmpty()) {
    err = QStringLiteral(
              "vexhaltools: unexpected argument '%1'\n"
              "Try 'vexhaltools --help' for more information.\n")
              .arg(parser_.positionalArguments().constFirst());
    return 2;
  }
  return std::nullopt;
}

std::optional<int> CommandLine::parse(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    arguments << QString::fromLocal8Bit(argv[i]);
  }
  QString out;
  QString err;
  const auto exitCode = parse(arguments, out, err);
  std::fputs(out.toLocal8Bit().constData(), stdout);
  std::fputs(err.toLocal8Bit().constData(), stderr);
  return exitCode;
}

QString CommandLine::versionText() {
  QString text = QStringLiteral("vexhaltools ") + QAppVersion::shortVersion();
  const QString described = QAppVersion::gitVersion();
  if (!described.isEmpty()) {
    text += QStringLiteral(" (%1)").arg(described);
  }
  return text;
}

}  // namespace vexhal
