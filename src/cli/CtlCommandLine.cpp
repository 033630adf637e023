#include "cli/CtlCommandLine.h"

#include <QCommandLineOption>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include "control/ControlSetting.h"
#include "control/FurtherControl.h"
#include "control/PresetCommand.h"
#include "diagnostics/DiagnosticsExport.h"

namespace vexhal::cli {
namespace {

using Command = control::ControlRequest::Command;

const QString kCamera = QStringLiteral("camera");
const QString kJson = QStringLiteral("json");
const QString kTimeout = QStringLiteral("timeout");
const QString kNoWait = QStringLiteral("no-wait");
const QString kDownload = QStringLiteral("download");
const QString kOutput = QStringLiteral("output");
const QString kMaskSerial = QStringLiteral("mask-serial");
const QString kAll = QStringLiteral("all");

// A camera that takes longer than an hour for one step is not going to answer.
constexpr double kLongestTimeoutSeconds = 3600;

const char kDescription[] =
    "Reads and changes the settings of USB conference cameras and installs their firmware.\n"
    "When the VexhalTools program runs, the request is carried out by it.\n"
    "\n"
    "Commands:\n"
    "  list                            the cameras present\n"
    "  get [SETTING...]                current values (all when none is named)\n"
    "  set SETTING=VALUE...            change values, in the order given\n"
    "  save                            store the settings in the camera and here\n"
    "  firmware FILE                   install a firmware package, check the new version\n"
    "  check-update [--download FILE]  ask the update service for newer firmware\n"
    "  diagnostics [-o FILE.zip]       write the logs and a report of this computer and its\n"
    "                                  cameras into a zip for the maker's support\n"
    "  doctor                          what keeps each camera from being used, and the fix\n"
    "  preset list                     the presets saved for the camera's model\n"
    "  preset save NAME                keep the camera's functions and image controls as NAME\n"
    "  preset apply NAME               put preset NAME on the camera; what had to be adjusted\n"
    "                                  to its ranges is told\n"
    "  preset export NAME|--all FILE   write one preset, or all of them, to FILE\n"
    "                                  (NAME.vexhal-preset.json)\n"
    "  preset import FILE              keep FILE's presets for the camera's model\n"
    "  demo COMMAND...                 in a running `vexhaltools --demo`: unplug or plug its\n"
    "                                  virtual camera, or give it a fault ('demo help')\n"
    "\n"
    "Settings (preset can only be set):\n"
    "%1"
    "\n"
    "get and set also take the camera's further controls by name, as 'get' lists them:\n"
    "white-balance-temperature=4600, power-line-frequency=\"50 Hz\" (or its value).\n"
    "\n"
    "Exit status: 0 done, 1 the camera refused or failed, 2 usage, 3 no such camera (or\n"
    "several and no --camera), 4 no answer in time, 5 access refused (doctor: a camera\n"
    "cannot be used).";

QString absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

// One line a setting: "  angle         60|90|120".
QString settingsHelp() {
  QString text;
  for (const control::ControlSetting::Id id : control::ControlSetting::all()) {
    text += QStringLiteral("  %1%2\n")
                .arg(control::ControlSetting::word(id).leftJustified(14),
                     control::ControlSetting::valuesHelp(id));
  }
  return text;
}

}  // namespace

CtlCommandLine::CtlCommandLine() {
  parser_.setApplicationDescription(QString::fromLatin1(kDescription).arg(settingsHelp()));
  parser_.addHelpOption();
  parser_.addVersionOption();
  parser_.addOption(QCommandLineOption(
      kCamera, QStringLiteral("The camera: its serial number or its /dev/hidrawN node."),
      QStringLiteral("SERIAL|/dev/hidrawN")));
  parser_.addOption(QCommandLineOption(kJson, QStringLiteral("Print the answer as JSON.")));
  parser_.addOption(QCommandLineOption(
      kTimeout, QStringLiteral("How long the camera may take to answer (default 5)."),
      QStringLiteral("SECONDS")));
  parser_.addOption(QCommandLineOption(
      kNoWait, QStringLiteral("firmware: return once the package is transferred.")));
  parser_.addOption(
      QCommandLineOption(kDownload, QStringLiteral("check-update: save the offered firmware here."),
                         QStringLiteral("FILE")));
  parser_.addOption(QCommandLineOption(
      {QStringLiteral("o"), kOutput},
      QStringLiteral("diagnostics: the zip to write (default VexhalTools-diagnostics-DATE.zip "
                     "here)."),
      QStringLiteral("FILE.zip")));
  parser_.addOption(QCommandLineOption(
      kMaskSerial, QStringLiteral("diagnostics: replace serial numbers with a stable hash.")));
  parser_.addOption(
      QCommandLineOption(kAll, QStringLiteral("preset export: every preset of the model.")));
  parser_.addPositionalArgument(QStringLiteral("command"),
                                QStringLiteral("list, get, set, save, firmware, check-update, "
                                               "diagnostics, doctor, preset, demo"),
                                QStringLiteral("COMMAND [ARGUMENT...]"));
}

std::optional<int> CtlCommandLine::parse(const QStringList& arguments, QString& out, QString& err) {
  const auto usage = [&err](const QString& problem) {
    err = QStringLiteral("vexhalctl: %1\nTry 'vexhalctl --help' for more information.\n")
              .arg(problem);
    return 2;
  };
  if (!parser_.parse(arguments)) return usage(parser_.errorText());
  if (parser_.isSet(QStringLiteral("help"))) {
    // The parser names whatever binary runs it; the usage line names the command.
    const QString help = parser_.helpText();
    out = QStringLiteral("Usage: vexhalctl [options] COMMAND [ARGUMENT...]") +
          help.mid(help.indexOf(QLatin1Char('\n')));
    return 0;
  }
  if (parser_.isSet(QStringLiteral("version"))) {
    out = versionText() + QLatin1Char('\n');
    return 0;
  }
  QStringList positional = parser_.positionalArguments();
  if (positional.isEmpty()) return usage(QStringLiteral("no command given"));
  const QString word = positional.takeFirst();
  const auto command = control::commandFromWord(word);
  if (!command) return usage(QStringLiteral("unknown command '%1'").arg(word));
  options_ = CtlOptions();
  options_.request.command = *command;
  QString problem = readArguments(*command, positional);
  if (problem.isEmpty()) problem = readOptions(*command);
  if (!problem.isEmpty()) return usage(problem);
  return std::nullopt;
}

QString CtlCommandLine::readArguments(Command command, const QStringList& arguments) {
  control::ControlRequest& request = options_.request;
  const QString word = control::commandWord(command);
  switch (command) {
    case Command::Get:
      for (const QString& name : arguments) {
        QString error;
        const auto id = control::ControlSetting::parseName(name, &error);
        if (!id && control::FurtherControl::isKey(name)) continue;  // the camera knows it
        if (!id) return error;
        if (!control::ControlSetting::isReadable(*id)) {
          return QStringLiteral("%1 can only be set").arg(name);
        }
      }
      request.settings = arguments;
      return {};
    case Command::Set:
      if (arguments.isEmpty()) return QStringLiteral("set needs SETTING=VALUE");
      for (const QString& item : arguments) {
        QString error;
        const QString name = item.section(u'=', 0, 0);
        const bool further = !control::ControlSetting::parseName(name, nullptr) &&
                             control::FurtherControl::isKey(name);
        if (further && !item.contains(u'=')) {
          return QStringLiteral("%1 needs a value: %1=VALUE").arg(name);
        }
        if (!further && !control::ControlSetting::parse(item, &error)) return error;
      }
      request.settings = arguments;
      return {};
    case Command::Firmware:
      if (arguments.size() != 1) return QStringLiteral("firmware needs one FILE");
      request.file = absolute(arguments.constFirst());
      return {};
    case Command::Preset:
      return readPresetArguments(arguments);
    case Command::Demo:
      if (arguments.isEmpty()) {
        return QStringLiteral("demo needs a command: plug, unplug, status, fault ... or help");
      }
      request.settings = arguments;
      return {};
    case Command::List:
    case Command::Save:
    case Command::CheckUpdate:
    case Command::Diagnostics:
    case Command::Doctor:
      break;
  }
  if (!arguments.isEmpty()) {
    return QStringLiteral("%1 takes no argument ('%2')").arg(word, arguments.constFirst());
  }
  return {};
}

QString CtlCommandLine::readPresetArguments(QStringList arguments) {
  using Action = control::ControlRequest::PresetAction;
  control::ControlRequest& request = options_.request;
  if (arguments.isEmpty())
    return QStringLiteral("preset needs list, save, apply, export or import");
  const QString word = arguments.takeFirst();
  const std::optional<Action> action = control::presetActionFromWord(word);
  if (!action) return QStringLiteral("unknown preset action '%1'").arg(word);
  request.presetAction = *action;
  request.allPresets = *action == Action::Export && parser_.isSet(kAll);
  const bool named = *action == Action::Save || *action == Action::Apply ||
                     (*action == Action::Export && !request.allPresets);
  const bool filed = *action == Action::Export || *action == Action::Import;
  const qsizetype wanted = (named ? 1 : 0) + (filed ? 1 : 0);
  if (arguments.size() != wanted) {
    static const char* const kUsage[] = {"preset list", "preset save NAME", "preset apply NAME",
                                         "preset export NAME FILE (or --all FILE)",
                                         "preset import FILE"};
    return QStringLiteral("usage: %1").arg(QLatin1StringView(kUsage[static_cast<int>(*action)]));
  }
  if (named) {
    request.presetName = arguments.takeFirst();
    if (const QString problem = control::PresetCommand::nameProblem(request.presetName);
        !problem.isEmpty()) {
      return problem;
    }
  }
  if (filed) request.file = absolute(arguments.constFirst());
  return {};
}

QString CtlCommandLine::readOptions(Command command) {
  control::ControlRequest& request = options_.request;
  options_.json = parser_.isSet(kJson);
  request.camera = parser_.value(kCamera);
  if (parser_.isSet(kCamera) && request.camera.isEmpty()) {
    return QStringLiteral("--camera needs a serial number or a /dev/hidrawN node");
  }
  if (parser_.isSet(kTimeout)) {
    bool number = false;
    const double seconds = parser_.value(kTimeout).toDouble(&number);
    if (!number || !std::isfinite(seconds) || seconds <= 0 || seconds > kLongestTimeoutSeconds) {
      return QStringLiteral("--timeout wants seconds, more than 0 and at most %1 ('%2')")
          .arg(kLongestTimeoutSeconds)
          .arg(parser_.value(kTimeout));
    }
    request.timeout = std::chrono::milliseconds(std::max(1LL, std::llround(seconds * 1000)));
  }
  if (parser_.isSet(kNoWait)) {
    if (command != Command::Firmware) return QStringLiteral("--no-wait goes with firmware");
    request.wait = false;
  }
  if (parser_.isSet(kDownload)) {
    if (command != Command::CheckUpdate) {
      return QStringLiteral("--download goes with check-update");
    }
    if (parser_.value(kDownload).isEmpty()) return QStringLiteral("--download needs a FILE");
    request.file = absolute(parser_.value(kDownload));
  }
  const bool exportAll = command == Command::Preset &&
                         request.presetAction == control::ControlRequest::PresetAction::Export;
  if (parser_.isSet(kAll) && !exportAll) return QStringLiteral("--all goes with preset export");
  if (command == Command::Diagnostics) {
    const QString output =
        parser_.isSet(kOutput)
            ? parser_.value(kOutput)
            : diagnostics::DiagnosticsExport::defaultFileName(QDate::currentDate());
    if (output.isEmpty()) return QStringLiteral("-o needs a FILE.zip");
    request.file = absolute(output);
    request.maskSerials = parser_.isSet(kMaskSerial);
  } else if (parser_.isSet(kOutput) || parser_.isSet(kMaskSerial)) {
    return QStringLiteral("%1 goes with diagnostics")
        .arg(parser_.isSet(kOutput) ? QStringLiteral("-o") : QStringLiteral("--mask-serial"));
  }
  return {};
}

QString CtlCommandLine::versionText() { return QStringLiteral("vexhalctl " VEXHAL_VERSION); }

}  // namespace vexhal::cli
