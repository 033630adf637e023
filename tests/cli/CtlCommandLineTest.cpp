// vexhalctl's command line: the request each invocation becomes, and the usage errors.
#include <QDir>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include "cli/CtlCommandLine.h"
#include "control/ControlSetting.h"

namespace vexhal::cli {
namespace {

struct Parsed {
  std::optional<int> exit;
  CtlOptions options;
  QString out;
  QString err;
};

Parsed parse(const QString& line) {
  CtlCommandLine commandLine;
  Parsed parsed;
  // Words as a shell splits them, quotes kept together.
  parsed.exit = commandLine.parse(QStringList{"vexhalctl"} + QProcess::splitCommand(line),
                                  parsed.out, parsed.err);
  parsed.options = commandLine.options();
  return parsed;
}

// Each line becomes its request (compared in the protocol's terms: the members named in the
// row, the others at their defaults), wherever the options stand; paths are made absolute.
TEST(CtlCommandLine, EachLineBecomesItsRequest) {
  const QString here = QDir::currentPath();
  const struct {
    QString line;
    QString expected;
    bool json = false;
  } rows[] = {
      {"list", R"({"command":"list"})"},
      {"get angle mirror --json", R"({"command":"get","settings":["angle","mirror"]})", true},
      {"set angle=90 people-box=on brightness=500",
       R"({"command":"set","settings":["angle=90","people-box=on","brightness=500"]})"},
      {"save --timeout 2.5", R"({"command":"save","timeout_ms":2500})"},
      {"firmware /tmp/fw.bin", R"({"command":"firmware","file":"/tmp/fw.bin","wait":true})"},
      {"firmware --no-wait fw.bin", R"({"command":"firmware","file":"HERE/fw.bin","wait":false})"},
      {"check-update --download new.bin", R"({"command":"check-update","file":"HERE/new.bin"})"},
      {"--camera 4C2309A01234 get", R"({"command":"get","camera":"4C2309A01234"})"},
      {"diagnostics --mask-serial -o out.zip",
       R"({"command":"diagnostics","file":"HERE/out.zip","mask_serial":true})"},
      {"doctor --json", R"({"command":"doctor"})", true},
      {"get gain white-balance-temperature",
       R"({"command":"get","settings":["gain","white-balance-temperature"]})"},
      {R"(set "power-line-frequency=50 Hz")",
       R"({"command":"set","settings":["power-line-frequency=50 Hz"]})"},
      {"preset list", R"({"command":"preset","action":"list"})"},
      {"preset apply Studio", R"({"command":"preset","action":"apply","name":"Studio"})"},
      {"preset export Studio s.json",
       R"({"command":"preset","action":"export","name":"Studio","file":"HERE/s.json"})"},
      {"preset export --all /tmp/all.json",
       R"({"command":"preset","action":"export","all":true,"file":"/tmp/all.json"})"},
      {"preset import s.json", R"({"command":"preset","action":"import","file":"HERE/s.json"})"},
  };
  const QJsonObject defaults = control::toJson(control::ControlRequest());
  for (const auto& row : rows) {
    const Parsed parsed = parse(row.line);
    ASSERT_EQ(parsed.exit, std::nullopt) << row.line.toStdString() << parsed.err.toStdString();
    EXPECT_EQ(parsed.options.json, row.json) << row.line.toStdString();
    QJsonObject expected = defaults;
    const QJsonObject named =
        QJsonDocument::fromJson(QString(row.expected).replace("HERE", here).toUtf8()).object();
    for (auto it = named.begin(); it != named.end(); ++it) expected[it.key()] = it.value();
    const QJsonObject got = control::toJson(parsed.options.request);
    EXPECT_TRUE(got == expected) << row.line.toStdString() << " became "
                                 << QJsonDocument(got).toJson().toStdString();
  }
}

// A malformed line exits 2 with one line saying what is wrong and a hint to --help.
TEST(CtlCommandLine, UsageErrorsExitTwoWithOneLineAndAHint) {
  const QString rows[][2] = {
      {"", "no command given"},
      {"status", "unknown command 'status'"},
      {"--bogus list", "Unknown option 'bogus'"},
      {"list extra", "list takes no argument ('extra')"},
      {"set", "set needs SETTING=VALUE"},
      {"set angle", "angle needs a value: angle=60|90|120"},
      {"get preset", "preset can only be set"},
      {"firmware a.bin b.bin", "firmware needs one FILE"},
      {"get --no-wait", "--no-wait goes with firmware"},
      {"firmware a.bin --download b.bin", "--download goes with check-update"},
      {"list --mask-serial", "--mask-serial goes with diagnostics"},
      {"doctor -o x.zip", "-o goes with diagnostics"},
      {"diagnostics -o", "Missing value after '-o'"},
      {"get --camera", "Missing value after '--camera'"},
      {"get --timeout 0", "--timeout wants seconds"},
      {"get --timeout inf", "--timeout wants seconds"},
      {"get Gain", "unknown setting \"Gain\""},
      {"set gain", "gain needs a value: gain=VALUE"},
      {"preset", "preset needs list, save, apply"},
      {"preset rename a b", "unknown preset action 'rename'"},
      {"preset apply", "usage: preset apply NAME"},
      {"preset export Studio", "usage: preset export NAME FILE"},
      {"preset import --all a.json", "--all goes with preset export"},
      {"list --all", "--all goes with preset export"},
  };
  for (const auto& [line, says] : rows) {
    const Parsed parsed = parse(line);
    EXPECT_EQ(parsed.exit, 2) << line.toStdString();
    const QStringList lines = parsed.err.split('\n');
    ASSERT_EQ(lines.size(), 3) << parsed.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith("vexhalctl: ") && lines[0].contains(says))
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], "Try 'vexhalctl --help' for more information.");
  }
}

// --help lists the commands and every setting with its values under the command's name;
// --version gives the version; both exit 0.
TEST(CtlCommandLine, HelpAndVersionExitZero) {
  const Parsed help = parse("--help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_TRUE(help.out.startsWith("Usage: vexhalctl [options] COMMAND")) << help.out.toStdString();
  for (const control::ControlSetting::Id id : control::ControlSetting::all()) {
    const QString line = "\n  " + control::ControlSetting::word(id).leftJustified(14) +
                         control::ControlSetting::valuesHelp(id) + "\n";
    EXPECT_TRUE(help.out.contains(line)) << line.toStdString();
  }
  EXPECT_EQ(parse("list --version").out, "vexhalctl " VEXHAL_VERSION "\n");
}

}  // namespace
}  // namespace vexhal::cli
