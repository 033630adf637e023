// vexhalctl's command line: what each invocation asks for, and the usage errors.
#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "cli/CtlCommandLine.h"
#include "control/ControlSetting.h"

namespace vexhal::cli {
namespace {

using Command = control::ControlRequest::Command;
using namespace std::chrono_literals;

struct Parsed {
  std::optional<int> exit;
  CtlOptions options;
  QString out;
  QString err;
};

Parsed parse(const QString& line) {
  QStringList arguments{QStringLiteral("vexhalctl")};
  if (!line.isEmpty()) arguments += line.split(QLatin1Char(' '));
  CtlCommandLine commandLine;
  Parsed parsed;
  parsed.exit = commandLine.parse(arguments, parsed.out, parsed.err);
  parsed.options = commandLine.options();
  return parsed;
}

control::ControlRequest request(Command command, QStringList settings = {}, QString file = {}) {
  control::ControlRequest request;
  request.command = command;
  request.settings = std::move(settings);
  request.file = std::move(file);
  return request;
}

QString here(const QString& name) { return QDir::current().absoluteFilePath(name); }

// Each command with its arguments and options, wherever the options stand, becomes the request.
TEST(CtlCommandLine, CommandsAndOptionsBecomeTheRequest) {
  struct Row {
    QString line;
    control::ControlRequest expected;
    bool json = false;
  };
  auto withCamera = request(Command::Get, {"angle"});
  withCamera.camera = "4C2309A01234";
  auto withNode = request(Command::List);
  withNode.camera = "/dev/hidraw3";
  auto slow = request(Command::Save);
  slow.timeout = 2500ms;
  auto noWait = request(Command::Firmware, {}, "/tmp/fw.bin");
  noWait.wait = false;
  const Row rows[] = {
      {"list", request(Command::List)},
      {"list --json", request(Command::List), true},
      {"--json list", request(Command::List), true},
      {"get", request(Command::Get)},
      {"get angle brightness mirror", request(Command::Get, {"angle", "brightness", "mirror"})},
      {"set angle=90 auto-framing=on people-box=on",
       request(Command::Set, {"angle=90", "auto-framing=on", "people-box=on"})},
      {"set brightness=500", request(Command::Set, {"brightness=500"})},
      {"save", request(Command::Save)},
      {"firmware /tmp/fw.bin", request(Command::Firmware, {}, "/tmp/fw.bin")},
      {"firmware fw.bin", request(Command::Firmware, {}, here("fw.bin"))},
      {"firmware --no-wait /tmp/fw.bin", noWait},
      {"check-update", request(Command::CheckUpdate)},
      {"check-update --download new.bin", request(Command::CheckUpdate, {}, here("new.bin"))},
      {"--camera 4C2309A01234 get angle", withCamera},
      {"get angle --camera 4C2309A01234", withCamera},
      {"list --camera /dev/hidraw3", withNode},
      {"--timeout 2.5 save", slow},
  };
  for (const Row& row : rows) {
    const Parsed parsed = parse(row.line);
    EXPECT_EQ(parsed.exit, std::nullopt) << row.line.toStdString() << parsed.err.toStdString();
    EXPECT_TRUE(parsed.options.request == row.expected) << row.line.toStdString();
    EXPECT_EQ(parsed.options.json, row.json) << row.line.toStdString();
  }
  EXPECT_EQ(parse("get").options.request.timeout, 5000ms);
  EXPECT_TRUE(parse("get").options.request.wait);
}

// A malformed command line exits 2 with one line saying what is wrong and a hint to --help.
TEST(CtlCommandLine, UsageErrorsExitTwoWithOneLineAndAHint) {
  const struct {
    QString line;
    QString says;
  } rows[] = {
      {"", "no command given"},
      {"status", "unknown command 'status'"},
      {"--bogus list", "Unknown option 'bogus'"},
      {"list extra", "list takes no argument ('extra')"},
      {"save now", "save takes no argument"},
      {"set", "set needs SETTING=VALUE"},
      {"set angle", "angle needs a value: angle=60|90|120"},
      {"set angle=90 =5", "unknown setting"},
      {"set angle=45", "\"45\" is not a value it takes"},
      {"set mirror=maybe", "\"maybe\" is not a value it takes"},
      {"set volume=3", "unknown setting \"volume\""},
      {"get angle volume", "unknown setting \"volume\""},
      {"get preset", "preset can only be set"},
      {"firmware", "firmware needs one FILE"},
      {"firmware a.bin b.bin", "firmware needs one FILE"},
      {"get --no-wait", "--no-wait goes with firmware"},
      {"firmware a.bin --download b.bin", "--download goes with check-update"},
      {"check-update --download", "Missing value after '--download'"},
      {"get --camera", "Missing value after '--camera'"},
      {"get --timeout 0", "--timeout wants seconds"},
      {"get --timeout -1", "--timeout wants seconds"},
      {"get --timeout soon", "--timeout wants seconds"},
      {"get --timeout inf", "--timeout wants seconds"},
      {"get --timeout 7200", "--timeout wants seconds"},
  };
  for (const auto& row : rows) {
    const Parsed parsed = parse(row.line);
    EXPECT_EQ(parsed.exit, 2) << row.line.toStdString();
    EXPECT_TRUE(parsed.out.isEmpty()) << row.line.toStdString();
    const QStringList lines = parsed.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << parsed.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith("vexhalctl: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(row.says)) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "Try 'vexhalctl --help' for more information.");
  }
}

// --help lists the commands, settings and exit codes under the program's own name; --version
// gives the version; both exit 0 without asking anything.
TEST(CtlCommandLine, HelpAndVersionExitZero) {
  const Parsed help = parse("--help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_TRUE(help.out.startsWith("Usage: vexhalctl [options] COMMAND")) << help.out.toStdString();
  for (const char* word : {"check-update", "--no-wait", "--download", "5 access refused"}) {
    EXPECT_TRUE(help.out.contains(QLatin1String(word))) << word;
  }
  for (const control::ControlSetting::Id id : control::ControlSetting::all()) {
    EXPECT_TRUE(help.out.contains(QRegularExpression(
        "\\n  " + control::ControlSetting::word(id) + " +" +
        QRegularExpression::escape(control::ControlSetting::valuesHelp(id)) + "\\n")))
        << control::ControlSetting::word(id).toStdString();
  }
  const Parsed version = parse("list --version");
  EXPECT_EQ(version.exit, 0);
  EXPECT_EQ(version.out, "vexhalctl " VEXHAL_VERSION "\n");
  EXPECT_TRUE(version.err.isEmpty());
}

}  // namespace
}  // namespace vexhal::cli
