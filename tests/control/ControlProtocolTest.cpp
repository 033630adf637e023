// The request and reply objects of the protocol: a round trip through JSON text, and hostile or
// malformed objects refused with a reason rather than read as defaults.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <tuple>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

namespace vexhal::control {
namespace {

using Command = ControlRequest::Command;
using namespace std::chrono_literals;

// Through the text a peer reads, so nothing survives that JSON cannot carry.
QJsonObject overTheWire(const QJsonObject& object) {
  return QJsonDocument::fromJson(QJsonDocument(object).toJson(QJsonDocument::Compact)).object();
}

QJsonObject parse(const char* text) { return QJsonDocument::fromJson(text).object(); }

TEST(ControlProtocolTest, RequestsAndRepliesSurviveTheRoundTrip) {
  ControlRequest set;
  set.command = Command::Set;
  set.camera = QStringLiteral("VXK31D2612001");
  set.settings = {QStringLiteral("angle=90"), QStringLiteral("brightness=200")};
  set.timeout = 1500ms;
  ControlRequest firmware;
  firmware.command = Command::Firmware;
  firmware.camera = QStringLiteral("/dev/hidraw3");
  firmware.file = QStringLiteral("/tmp/pkg ü.bin");
  firmware.wait = false;
  ControlRequest check;
  check.command = Command::CheckUpdate;
  ControlRequest diagnostics;
  diagnostics.command = Command::Diagnostics;
  diagnostics.file = QStringLiteral("/tmp/support.zip");
  diagnostics.maskSerials = true;
  ControlRequest exportAll;
  exportAll.command = Command::Preset;
  exportAll.presetAction = ControlRequest::PresetAction::Export;
  exportAll.allPresets = true;
  exportAll.file = QStringLiteral("/tmp/all.vexhal-preset.json");
  ControlRequest apply;
  apply.command = Command::Preset;
  apply.presetAction = ControlRequest::PresetAction::Apply;
  apply.presetName = QStringLiteral("Bühne");
  ControlRequest demo;
  demo.command = Command::Demo;
  demo.settings = {QStringLiteral("fault"), QStringLiteral("slow"), QStringLiteral("3000")};
  for (const ControlRequest& request :
       {ControlRequest{}, set, firmware, check, diagnostics, exportAll, apply, demo}) {
    SCOPED_TRACE(commandWord(request.command).toStdString());
    QString error;
    EXPECT_EQ(requestFromJson(overTheWire(toJson(request)), &error), request);
    EXPECT_TRUE(error.isEmpty());
  }
  EXPECT_EQ(commandFromWord(QStringLiteral("LIST")), std::nullopt);

  // A refusal keeps the camera's code and message.
  ControlReply refused{ExitCode::Failed, QJsonValue(),
                       QStringLiteral("The camera refused angle=90 (code 5)."), 5};
  // And what a preset had adjusted.
  refused.adjusted = {QJsonObject{{QStringLiteral("control"), QStringLiteral("gain")},
                                  {QStringLiteral("text"), QStringLiteral("gain: scaled")}}};
  QString error;
  const std::optional<ControlReply> back = replyFromJson(overTheWire(toJson(refused)), &error);
  ASSERT_TRUE(back.has_value()) << error.toStdString();
  EXPECT_EQ(std::tie(back->exit, back->message, back->code, back->adjusted),
            std::tie(refused.exit, refused.message, refused.code, refused.adjusted));
}

TEST(ControlProtocolTest, MalformedRequestsAreRefusedWithTheReason) {
  const QString tooMany = [] {
    QJsonArray items;
    for (int i = 0; i < 65; ++i) items.append(QStringLiteral("angle=90"));
    return QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("v"), 1},
                                                       {QStringLiteral("command"), "set"},
                                                       {QStringLiteral("settings"), items}})
                                 .toJson());
  }();
  const QString longCamera =
      QStringLiteral(R"({"v":1,"command":"get","camera":"%1"})").arg(QString(300, u'x'));
  const std::pair<QString, const char*> cases[] = {
      {QStringLiteral(R"({"command":"list"})"), "\"v\" is missing"},
      {QStringLiteral(R"({"v":2,"command":"list"})"), "version 2 is not supported"},
      {QStringLiteral(R"({"v":"1","command":"list"})"), "of wrong type is not supported"},
      {QStringLiteral(R"({"v":1})"), "\"command\" must be a text"},
      {QStringLiteral(R"({"v":1,"command":"reboot"})"), "unknown command \"reboot\""},
      {QStringLiteral(R"({"v":1,"command":"get","camera":7})"), "\"camera\" must be a text"},
      {longCamera, "\"camera\" is longer than 256 characters"},
      {QStringLiteral(R"({"v":1,"command":"firmware","file":null})"), "\"file\" must be a text"},
      {QStringLiteral(R"({"v":1,"command":"set","settings":"angle=90"})"), "must be a list"},
      {QStringLiteral(R"({"v":1,"command":"set","settings":[90]})"), "each setting must be"},
      {tooMany, "more than 64 settings"},
      {QStringLiteral(R"({"v":1,"command":"firmware","wait":"no"})"), "\"wait\" must be true"},
      {QStringLiteral(R"({"v":1,"command":"diagnostics","mask_serial":1})"),
       "\"mask_serial\" must be true"},
      {QStringLiteral(R"({"v":1,"command":"get","timeout_ms":0})"), "\"timeout_ms\" must be"},
      {QStringLiteral(R"({"v":1,"command":"get","timeout_ms":1e30})"), "\"timeout_ms\" must be"},
      {QStringLiteral(R"({"v":1,"command":"preset"})"), "\"action\" must be list, save"},
      {QStringLiteral(R"({"v":1,"command":"preset","action":"rename"})"), "\"action\" must be"},
      {QStringLiteral(R"({"v":1,"command":"preset","action":"apply","name":[]})"),
       "\"name\" must be a text"},
      {QStringLiteral(R"({"v":1,"command":"preset","action":"export","all":"yes"})"),
       "\"all\" must be true"},
  };
  for (const auto& [text, reason] : cases) {
    SCOPED_TRACE(text.left(80).toStdString());
    QString error;
    EXPECT_EQ(requestFromJson(QJsonDocument::fromJson(text.toUtf8()).object(), &error),
              std::nullopt);
    EXPECT_TRUE(error.contains(QString::fromUtf8(reason))) << error.toStdString();
  }
  // Members this side does not know are left alone, so a newer peer's extras do no harm.
  QString error;
  EXPECT_TRUE(requestFromJson(parse(R"({"v":1,"command":"list","colour":"red"})"), &error));
}

TEST(ControlProtocolTest, MalformedRepliesAndProgressLinesAreRefused) {
  const std::pair<const char*, const char*> replies[] = {
      {R"({"v":3,"ok":true,"exit":0})", "version 3 is not supported"},
      {R"({"v":1,"ok":true})", "\"exit\" must be"},
      {R"({"v":1,"ok":false,"exit":9})", "\"exit\" must be"},
      {R"({"v":1,"ok":true,"exit":1})", "\"ok\" must be true exactly when"},
      {R"({"v":1,"ok":false,"exit":1,"message":42})", "\"message\" must be a text"},
      {R"({"v":1,"ok":false,"exit":1,"code":1e300})", "\"code\" must be a whole number"},
      {R"({"v":1,"ok":true,"exit":0,"adjusted":[{"control":"gain"}]})", "\"adjusted\" must be"},
      {R"({"v":1,"ok":true,"exit":0,"adjusted":{}})", "\"adjusted\" must be"},
  };
  for (const auto& [text, reason] : replies) {
    SCOPED_TRACE(text);
    QString error;
    EXPECT_EQ(replyFromJson(parse(text), &error).has_value(), false);
    EXPECT_TRUE(error.contains(QString::fromUtf8(reason))) << error.toStdString();
  }
  for (int percent : {0, 42, 100}) {
    EXPECT_EQ(progressFromJson(overTheWire(progressToJson(percent))), percent);
  }
  for (const char* text :
       {R"({"v":1,"progress":101})", R"({"v":1,"progress":-1})", R"({"v":2,"progress":5})",
        R"({"v":1,"progress":"5"})", R"({"v":1,"ok":true,"exit":0})"}) {
    EXPECT_EQ(progressFromJson(parse(text)), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace vexhal::control
