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

const QJsonObject kCamera{{"serial", "4C2309A01234"},  {"name", "Vexhal Room Camera"},
                          {"version", "1.0.6"},        {"state", "connected"},
                          {"location", "0x01120000"},  {"hidraw", "/dev/hidraw3"},
                          {"video", QJsonValue::Null}, {"access", "ok"}};
const QJsonObject kValues{{"angle", 90}, {"auto-framing", true}, {"framing-mode", "meeting"}};

control::ControlReply done(QJsonValue result = {}, QString message = {}) {
  control::ControlReply reply;
  reply.result = std::move(result);
  reply.message = std::move(message);
  return reply;
}

control::ControlReply failed(control::ExitCode exit, QString message,
                             std::optional<std::int64_t> code = std::nullopt) {
  control::ControlReply reply;
  reply.exit = exit;
  reply.message = std::move(message);
  reply.code = code;
  return reply;
}

QJsonDocument jsonOf(Command command, const control::ControlReply& reply) {
  const QByteArray out = CtlOutput::standardOutput(command, reply, true);
  EXPECT_TRUE(out.endsWith('\n'));
  EXPECT_EQ(out.count('\n'), 1) << "one line: " << out.toStdString();
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(out, &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << out.toStdString();
  return document;
}

// list prints an array, get an object of values; the other commands {"ok":…} with the result
// when there is one, and every failure {"ok":false} with its code and message.
TEST(CtlOutput, JsonShapesPerCommand) {
  EXPECT_EQ(jsonOf(Command::List, done(QJsonArray{kCamera})).array(), QJsonArray{kCamera});
  EXPECT_EQ(jsonOf(Command::List, done(QJsonArray{})).array(), QJsonArray{});
  EXPECT_EQ(jsonOf(Command::Get, done(kValues)).object(), kValues);
  for (const Command command : {Command::Set, Command::Save, Command::Firmware}) {
    EXPECT_EQ(jsonOf(command, done()).object(), (QJsonObject{{"ok", true}}));
  }
  const QJsonObject offer{{"available", true}, {"version", "1.0.7"}};
  EXPECT_EQ(jsonOf(Command::CheckUpdate, done(offer)).object(),
            (QJsonObject{{"ok", true}, {"result", offer}}));
  EXPECT_EQ(jsonOf(Command::Set, done({}, "brightness clamped to 178")).object(),
            (QJsonObject{{"ok", true}, {"message", "brightness clamped to 178"}}));

  const auto refused = failed(control::ExitCode::Failed, "the camera refused angle", 5);
  for (const Command command : {Command::List, Command::Get, Command::Set, Command::Firmware}) {
    EXPECT_EQ(jsonOf(command, refused).object(),
              (QJsonObject{{"ok", false}, {"code", 5}, {"message", "the camera refused angle"}}));
  }
  EXPECT_EQ(jsonOf(Command::Get, failed(control::ExitCode::NoAnswer, "no answer")).object(),
            (QJsonObject{{"ok", false}, {"message", "no answer"}}));
}

// The text of list lines every column up under its heading; a camera without a video node
// shows "-".
TEST(CtlOutput, ListTextIsAlignedUnderItsHeadings) {
  QJsonObject second = kCamera;
  second["serial"] = "X";
  second["name"] = "A much longer camera name";
  second["video"] = "/dev/video0";
  const QList<QByteArray> lines =
      CtlOutput::standardOutput(Command::List, done(QJsonArray{kCamera, second}), false)
          .split('\n');
  ASSERT_EQ(lines.size(), 4);  // heading, two cameras, the final newline
  EXPECT_TRUE(lines[3].isEmpty());
  for (const char* heading : {"NAME", "VERSION", "STATE", "VIDEO", "ACCESS"}) {
    const qsizetype column = lines[0].indexOf(heading);
    ASSERT_GT(column, 0) << heading;
    for (const QByteArray& row : {lines[1], lines[2]}) {
      EXPECT_EQ(row.mid(column - 2, 2), "  ") << heading << ": " << row.toStdString();
      EXPECT_NE(row[column], ' ') << heading << ": " << row.toStdString();
    }
  }
  EXPECT_TRUE(lines[1].contains("  -  ")) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].contains("/dev/video0")) << lines[2].toStdString();
  EXPECT_EQ(CtlOutput::standardOutput(Command::List, done(QJsonArray{}), false),
            "No camera found.\n");
}

// get prints one aligned line a setting, switches as on/off; a failure prints nothing on
// stdout and its message, with the camera's code, on stderr.
TEST(CtlOutput, ValuesAsTextAndFailuresOnStderr) {
  const QByteArray values = CtlOutput::standardOutput(Command::Get, done(kValues), false);
  EXPECT_EQ(values, "angle         90\nauto-framing  on\nframing-mode  meeting\n");
  EXPECT_EQ(CtlOutput::standardOutput(Command::Set, done({}, "sharpness clamped to 78"), false),
            "sharpness clamped to 78\n");
  EXPECT_EQ(CtlOutput::errorOutput(done(kValues)), "");

  const auto refused = failed(control::ExitCode::Failed, "the camera refused angle", 5);
  EXPECT_EQ(CtlOutput::standardOutput(Command::Set, refused, false), "");
  EXPECT_EQ(CtlOutput::errorOutput(refused), "vexhalctl: the camera refused angle (code 5)\n");
  EXPECT_EQ(CtlOutput::errorOutput(failed(control::ExitCode::Failed, "code 5: refused", 5)),
            "vexhalctl: code 5: refused\n");
  EXPECT_EQ(CtlOutput::errorOutput(failed(control::ExitCode::NoCamera, "no camera")),
            "vexhalctl: no camera\n");
}

// Off a terminal each new figure is a line of its own; on one a bar is redrawn in place and
// its line ended at the finish.
TEST(ProgressPrinter, LinesOffATerminalAndABarOnOne) {
  QBuffer plain;
  plain.open(QIODevice::WriteOnly);
  ProgressPrinter lines(plain, false);
  for (const int percent : {0, 0, 42, 42, 150}) lines.show(percent);
  lines.finish();
  EXPECT_EQ(plain.data(), "0%\n42%\n100%\n");

  QBuffer terminal;
  terminal.open(QIODevice::WriteOnly);
  ProgressPrinter bar(terminal, true);
  bar.show(50);
  bar.show(100);
  bar.finish();
  const QList<QByteArray> draws = terminal.data().split('\r');
  ASSERT_EQ(draws.size(), 3);
  EXPECT_EQ(draws[1], "[" + QByteArray(20, '#') + QByteArray(20, ' ') + "]  50%");
  EXPECT_EQ(draws[2], "[" + QByteArray(40, '#') + "] 100%\n");
}

}  // namespace
}  // namespace vexhal::cli
