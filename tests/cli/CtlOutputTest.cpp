// What vexhalctl prints: the JSON shapes scripts read (parsed back, never compared as text), the
// aligned text people read, and the progress on stderr.
#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "cli/CtlOutput.h"
#include "cli/ProgressPrinter.h"

namespace vexhal::cli {
namespace {

using Command = control::ControlRequest::Command;
using control::ExitCode;

control::ControlReply reply(ExitCode exit, QJsonValue result = {}, QString message = {},
                            std::optional<std::int64_t> code = std::nullopt) {
  return {exit, std::move(result), std::move(message), code};
}

const QJsonObject kCamera{{"serial", "4C2309A01234"},  {"name", "Room Camera"},
                          {"version", "1.0.6"},        {"state", "connected"},
                          {"location", "0x01120000"},  {"hidraw", "/dev/hidraw3"},
                          {"video", QJsonValue::Null}, {"access", "ok"}};

// Commands other than list and get print {"ok":…} with the result or message when there is one,
// and every failure, of any command, {"ok":false} with its code and message.
TEST(CtlOutput, JsonShapesPerCommand) {
  const QJsonObject values{{"angle", 90}, {"auto-framing", true}};
  const auto refused = reply(ExitCode::Failed, {}, "refused", 5);
  const QJsonObject refusedShape{{"ok", false}, {"code", 5}, {"message", "refused"}};
  const struct {
    Command command;
    control::ControlReply reply;
    QJsonValue shape;
  } rows[] = {
      {Command::Set, reply(ExitCode::Done, {}, "clamped"),
       QJsonObject{{"ok", true}, {"message", "clamped"}}},
      {Command::CheckUpdate, reply(ExitCode::Done, values),
       QJsonObject{{"ok", true}, {"result", values}}},
      {Command::Firmware, refused, refusedShape},
      {Command::Get, reply(ExitCode::NoAnswer, {}, "no answer"),
       QJsonObject{{"ok", false}, {"message", "no answer"}}},
  };
  for (const auto& row : rows) {
    const QByteArray out = CtlOutput::standardOutput(row.command, row.reply, true);
    EXPECT_EQ(out.count('\n'), 1) << "one line: " << out.toStdString();
    const QJsonDocument document = QJsonDocument::fromJson(out);
    EXPECT_EQ(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()),
              row.shape)
        << out.toStdString();
  }
}

// Text: list lines every cell up under its heading, get one aligned line a setting in the
// table's order with switches as on/off; a failure goes to stderr only, with the camera's code.
TEST(CtlOutput, TextIsAlignedAndFailuresGoToStderr) {
  QJsonObject second = kCamera;
  second["serial"] = "X";
  second["video"] = "/dev/video0";
  const QList<QByteArray> lines =
      CtlOutput::standardOutput(Command::List, reply(ExitCode::Done, QJsonArray{kCamera, second}),
                                false)
          .split('\n');
  ASSERT_EQ(lines.size(), 4);
  for (const char* heading : {"NAME", "VERSION", "LOCATION", "VIDEO", "ACCESS"}) {
    const qsizetype column = lines[0].indexOf(heading);
    for (const QByteArray& row : {lines[1], lines[2]}) {
      EXPECT_TRUE(row.mid(column - 2, 3).startsWith("  ") && row[column] != ' ')
          << heading << ": " << row.toStdString();
    }
  }
  EXPECT_TRUE(lines[1].contains("  -  ")) << "no video node";
  const QJsonObject values{{"angle", 90}, {"auto-framing", true}, {"framing-mode", "meeting"}};
  EXPECT_EQ(CtlOutput::standardOutput(Command::Get, reply(ExitCode::Done, values), false),
            "auto-framing  on\nframing-mode  meeting\nangle         90\n");

  const auto refused = reply(ExitCode::Failed, {}, "the camera refused angle", 5);
  EXPECT_EQ(CtlOutput::standardOutput(Command::Set, refused, false), "");
  EXPECT_EQ(CtlOutput::errorOutput(Command::Set, refused),
            "vexhalctl: the camera refused angle (code 5)\n");
}

// The doctor's findings are its answer even when a camera cannot be used: the array with
// --json, the readable findings without; stderr only says that something is wrong.
TEST(CtlOutput, DoctorFindingsArePrintedWhateverTheExitStatus) {
  const QJsonArray cameras{QJsonObject{{"camera", "/dev/hidraw3"}, {"usable", false}}};
  const auto busy = reply(ExitCode::AccessRefused, cameras, "Room Camera (/dev/hidraw3)\n  busy");
  EXPECT_EQ(QJsonDocument::fromJson(CtlOutput::standardOutput(Command::Doctor, busy, true)).array(),
            cameras);
  EXPECT_EQ(CtlOutput::standardOutput(Command::Doctor, busy, false),
            "Room Camera (/dev/hidraw3)\n  busy\n");
  EXPECT_TRUE(CtlOutput::errorOutput(Command::Doctor, busy).startsWith("vexhalctl: a camera"));
}

// A preset's adjustments: a list in JSON, empty when nothing was adjusted; in text, a line each
// under the message. The list of presets is an array, or a table with its headings.
TEST(CtlOutput, PresetsAndTheirAdjustments) {
  const QJsonObject gain{{"preset", "Studio"},
                         {"control", "gain"},
                         {"change", "scaled"},
                         {"text", "gain: 80 of 0..100 scaled to 204 of 0..255"}};
  auto applied =
      reply(ExitCode::Done, QJsonObject{{"name", "Studio"}}, "Applied preset \"Studio\".");
  applied.adjusted = {gain};
  EXPECT_EQ(QJsonDocument::fromJson(CtlOutput::standardOutput(Command::Preset, applied, true))
                .object()["adjusted"],
            QJsonArray{gain});
  EXPECT_EQ(CtlOutput::standardOutput(Command::Preset, applied, false),
            "Applied preset \"Studio\".\nAdjusted to this camera's controls:\n"
            "  Studio  gain: 80 of 0..100 scaled to 204 of 0..255\n");
  applied.adjusted = {};
  EXPECT_EQ(QJsonDocument::fromJson(CtlOutput::standardOutput(Command::Preset, applied, true))
                .object()["adjusted"],
            QJsonArray());

  const QJsonArray presets{QJsonObject{{"name", "Studio"}, {"controls", 11}}};
  const auto listed = reply(ExitCode::Done, presets);
  EXPECT_EQ(
      QJsonDocument::fromJson(CtlOutput::standardOutput(Command::Preset, listed, true)).array(),
      presets);
  EXPECT_EQ(CtlOutput::standardOutput(Command::Preset, listed, false),
            "NAME    CONTROLS\nStudio  11\n");
}

// Off a terminal each new figure is a line of its own; on one a bar is redrawn in place and its
// line ended at the finish.
TEST(ProgressPrinter, LinesOffATerminalAndABarOnOne) {
  QBuffer plain;
  plain.open(QIODevice::WriteOnly);
  ProgressPrinter lines(plain, false);
  for (const int percent : {0, 0, 42, 42, 150}) lines.show(percent);
  EXPECT_EQ(plain.data(), "0%\n42%\n100%\n");

  QBuffer terminal;
  terminal.open(QIODevice::WriteOnly);
  ProgressPrinter bar(terminal, true);
  bar.show(50);
  bar.show(100);
  bar.finish();
  EXPECT_EQ(terminal.data(), "\r[" + QByteArray(20, '#') + QByteArray(20, ' ') + "]  50%\r[" +
                                 QByteArray(40, '#') + "] 100%\n");
}

}  // namespace
}  // namespace vexhal::cli
