// The runner end to end on virtual cameras under a HID manager of its own, as the command line
// runs it: each request's reply, and the camera's own state read back afterwards.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <linux/videodev2.h>

#include "CameraCommand.h"
#include "FirmwareImage.h"
#include "SimCaptureBackend.h"
#include "SimHidDiscovery.h"
#include "SimUvcTransportFactory.h"
#include "UpdateService.h"
#include "VirtualCamera.h"
#include "common/EventLoop.h"
#include "control/CameraCommandRunner.h"
#include "device/hid/USBHidManager.h"
#include "device/uvc/UVCControlInfo.h"
#include "net/RNetManager.h"
#include "platform/Platform.h"
#include "platform/QCameraAccessSystem.h"
#include "section/camera_control/QSettingsKeeper.h"

namespace vexhal::control {
namespace {

using namespace std::chrono_literals;
using Command = ControlRequest::Command;
using sim::FirmwareVersion;

sim::VirtualCameraIdentity identity(const std::string& serial, std::int64_t locationId) {
  sim::VirtualCameraIdentity id;
  id.serialNumber = serial;
  id.locationId = locationId;
  return id;
}

ControlRequest request(Command command, QStringList settings = {}, QString camera = {}) {
  ControlRequest r;
  r.command = command;
  r.settings = std::move(settings);
  r.camera = std::move(camera);
  return r;
}

ControlRequest preset(ControlRequest::PresetAction action, QString name, QString file = {}) {
  ControlRequest r = request(Command::Preset);
  r.presetAction = action;
  r.presetName = std::move(name);
  r.file = std::move(file);
  return r;
}

// The second camera's gain goes further than the first's.
sim::VirtualCameraIdentity otherRanges(sim::VirtualCameraIdentity id) {
  id.controlRanges = {{V4L2_CID_GAIN, 0, 255, 0}};
  return id;
}

qint64 uvcValue(const sim::VirtualCamera& camera, const UVCControlInfo& control) {
  return camera.uvcControls().value(control).value_or(-1);
}

// The application object, made before any member that needs it.
struct WithApplication {
  WithApplication() { test::ensureCoreApplication(); }
};

// Two virtual cameras, the first plugged in, a manager and a runner on them, and a settings
// store of the test's own.
struct RunnerTest : testing::Test, WithApplication {
  RunnerTest() {
    for (sim::VirtualCamera* camera : {&first, &second}) {
      camera->setRestartDelay(50ms);
    }
    platform.setUvcTransportFactory(uvc);
    platform.setCaptureBackend(capture);
    platform.setAccessChecker(
        [this](const USBDevice& device) { return device.key() != refusedKey; });
    // The firmware watchdog's re-attach and verify delays, at the next turn of the loop.
    platform.setScheduler([](QObject* context, int, std::function<void()> task) {
      QTimer::singleShot(0, context, std::move(task));
    });
    manager.startMonitoringForVendorID(first.vendorId(), first.productId());
    plug(first);
  }
  ~RunnerTest() override {
    runner.reset();
    test::settle();
  }

  void plug(sim::VirtualCamera& camera) {
    const std::size_t before = manager.devices().size();
    camera.plug();
    ASSERT_TRUE(test::waitUntil([&] { return manager.devices().size() == before + 1; }));
  }

  // Runs `r` to its reply; the progress reported on the way goes to `progress`.
  ControlReply run(ControlRequest r, std::vector<int>* progress = nullptr) {
    std::optional<ControlReply> reply;
    int replies = 0;
    runner->run(
        r,
        [progress](int percent) {
          if (progress != nullptr) progress->push_back(percent);
        },
        [&](const ControlReply& answer) {
          reply = answer;
          ++replies;
        });
    EXPECT_FALSE(reply.has_value()) << "answered from inside run()";
    EXPECT_TRUE(test::waitUntil([&] { return reply.has_value(); }, 200s));
    test::settle();
    EXPECT_EQ(replies, 1);
    return reply.value_or(ControlReply{ExitCode::Failed, {}, QStringLiteral("no reply"), {}});
  }

  sim::VirtualCamera first{identity("VXK31D2612001", 0x03142000)};
  sim::VirtualCamera second{otherRanges(identity("VXK31D2612002", 0x03143000))};
  std::shared_ptr<sim::SimUvcTransportFactory> uvc =
      std::make_shared<sim::SimUvcTransportFactory>(std::vector{&first, &second});
  std::shared_ptr<sim::SimCaptureBackend> capture =
      std::make_shared<sim::SimCaptureBackend>(std::vector{&first, &second});
  USBHidManager manager{std::make_unique<sim::SimHidDiscovery>(std::vector{&first, &second})};
  Platform platform;
  std::string refusedKey;
  RNetManager net;
  QTemporaryDir folder;
  QDataBase dataBase{folder.filePath(QStringLiteral("settings.ini"))};
  std::unique_ptr<QSettingsKeeper> keeper;
  std::unique_ptr<CameraCommandRunner> runner =
      std::make_unique<CameraCommandRunner>(manager, platform, net, dataBase);
};

TEST_F(RunnerTest, ListsEveryCameraWithItsIdentityAndAccess) {
  plug(second);
  refusedKey = second.hidKey();
  const ControlReply reply = run(request(Command::List));
  ASSERT_EQ(reply.exit, ExitCode::Done) << reply.message.toStdString();
  const QJsonArray cameras = reply.result.toArray();
  ASSERT_EQ(cameras.size(), 2);
  const QJsonObject one = cameras[0].toObject();
  EXPECT_EQ(one.value(QStringLiteral("serial")), QStringLiteral("VXK31D2612001"));
  EXPECT_EQ(one.value(QStringLiteral("version")), QStringLiteral("1.0.6"));
  EXPECT_EQ(one.value(QStringLiteral("state")), QStringLiteral("connected"));
  EXPECT_EQ(one.value(QStringLiteral("location")), QStringLiteral("0x03142000"));
  EXPECT_EQ(one.value(QStringLiteral("access")), QStringLiteral("ok"));
  EXPECT_EQ(cameras[1].toObject().value(QStringLiteral("access")), QStringLiteral("refused"));
  // Its requests end with the fix the access alert gives, as plain text.
  const ControlReply refused = run(request(Command::Get, {}, QStringLiteral("VXK31D2612002")));
  EXPECT_EQ(refused.exit, ExitCode::AccessRefused);
  EXPECT_TRUE(refused.message.contains(QStringLiteral("udevadm control --reload-rules")))
      << refused.message.toStdString();
  EXPECT_FALSE(refused.message.contains(u'<'));

  // A camera that stays silent is still listed, its state unknown, within the timeout.
  sim::SimFaults silent;
  silent.noReply = {kCmdGetState, kCmdGetVersion, kCmdGetSerialNumber};
  second.setFaults(silent);
  ControlRequest quick = request(Command::List);
  quick.timeout = 300ms;
  const QJsonArray partial = run(quick).result.toArray();
  ASSERT_EQ(partial.size(), 2);
  EXPECT_EQ(partial[1].toObject().value(QStringLiteral("state")), QStringLiteral("unknown"));
}

// The doctor examines every camera on the access system: a video node another program streams
// from names that program with the fix, and makes the reply AccessRefused; with the node free
// the camera is usable. No camera at all is NoCamera.
TEST_F(RunnerTest, DoctorNamesTheProgramHoldingAVideoNodeAndFailsOnlyThen) {
  int videoError = EBUSY;
  auto system = std::make_shared<QCameraAccessSystem>();
  system->openError = [&](const QString&) { return videoError; };
  system->videoNodes = [](std::int64_t) { return QStringList{QStringLiteral("/dev/video7")}; };
  system->nodeHolder = [](const QString&) { return NodeHolder{4242, QStringLiteral("cheese")}; };
  platform.setAccessSystem(system);
  const ControlReply busy = run(request(Command::Doctor));
  EXPECT_EQ(busy.exit, ExitCode::AccessRefused);
  const QJsonArray cameras = busy.result.toArray();
  ASSERT_EQ(cameras.size(), 1);
  EXPECT_EQ(cameras[0][QStringLiteral("camera")].toString().toStdString(), first.hidKey());
  EXPECT_FALSE(cameras[0][QStringLiteral("usable")].toBool());
  EXPECT_EQ(cameras[0][QStringLiteral("nodes")][1][QStringLiteral("holder")][QStringLiteral("pid")],
            4242);
  EXPECT_TRUE(busy.message.contains(QStringLiteral("Close cheese (process 4242)")))
      << busy.message.toStdString();
  videoError = 0;
  EXPECT_EQ(run(request(Command::Doctor)).exit, ExitCode::Done);
  first.unplug();
  ASSERT_TRUE(test::waitUntil([&] { return manager.devices().empty(); }));
  EXPECT_EQ(run(request(Command::Doctor)).exit, ExitCode::NoCamera);
}

TEST_F(RunnerTest, TheCameraIsChosenBySerialOrNodeAndNeverGuessed) {
  struct Case {
    const char* camera;
    ExitCode exit;
    const char* messagePart;
    sim::VirtualCamera* chosen;
  };
  const Case cases[] = {
      {"", ExitCode::NoCamera, "choose one with --camera", nullptr},
      {"VXK31D2612002", ExitCode::Done, "", &second},
      {"virtual:VXK31D2612001", ExitCode::Done, "", &first},
      {"VXK31D2612009", ExitCode::NoCamera, "the cameras are VXK31D2612001, VXK31D2612002.",
       nullptr},
  };
  plug(second);
  int angle = 60;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.camera);
    // Another angle each time, so the camera that takes it shows.
    angle = angle == 60 ? 90 : 60;
    const std::int8_t before[] = {first.functions().angle, second.functions().angle};
    const ControlReply reply = run(request(Command::Set, {QStringLiteral("angle=%1").arg(angle)},
                                           QString::fromUtf8(c.camera)));
    EXPECT_EQ(reply.exit, c.exit);
    EXPECT_TRUE(reply.message.contains(QString::fromUtf8(c.messagePart)))
        << reply.message.toStdString();
    EXPECT_EQ(first.functions().angle, c.chosen == &first ? angle : before[0]);
    EXPECT_EQ(second.functions().angle, c.chosen == &second ? angle : before[1]);
  }
  first.unplug();
  second.unplug();
  ASSERT_TRUE(test::waitUntil([&] { return manager.devices().empty(); }));
  const ControlReply none = run(request(Command::Get));
  EXPECT_EQ(none.exit, ExitCode::NoCamera);
  EXPECT_EQ(none.message, QStringLiteral("No camera is connected."));
}

TEST_F(RunnerTest, GetReadsTheCamerasOwnValues) {
  const sim::CameraFunctions f = first.functions();
  const ControlReply reply = run(request(Command::Get));
  ASSERT_EQ(reply.exit, ExitCode::Done) << reply.message.toStdString();
  EXPECT_EQ(reply.result.toObject(), (QJsonObject{{"auto-framing", f.autoFraming},
                                                  {"people-box", f.frameMaster},
                                                  {"framing-mode", "meeting"},
                                                  {"angle", f.angle},
                                                  {"mirror", f.hMirror},
                                                  {"pickup", "medium"},
                                                  {"brightness", uvcValue(first, kUvcBrightness)},
                                                  {"contrast", uvcValue(first, kUvcContrast)},
                                                  {"saturation", uvcValue(first, kUvcSaturation)},
                                                  {"sharpness", uvcValue(first, kUvcSharpness)},
                                                  // and the further controls the driver lists
                                                  {"gain", 0},
                                                  {"white-balance-temperature", 4600},
                                                  {"white-balance-automatic", true},
                                                  {"auto-exposure", "Aperture Priority Mode"},
                                                  {"exposure-time-absolute", 156},
                                                  {"power-line-frequency", "50 Hz"},
                                                  {"backlight-compensation", 0}}));
  for (const char* name : {"preset", "zoom", "Gain"}) {
    const ControlReply refused = run(request(Command::Get, {QString::fromLatin1(name)}));
    EXPECT_EQ(refused.exit, ExitCode::Usage) << refused.message.toStdString();
  }
}

// In the order given: people-box on switches auto-framing off, the preset's values are then
// overridden, out-of-range values clamped, and the later angle wins.
TEST_F(RunnerTest, SetChangesEachSettingOnTheCameraAndReportsTheClampedValue) {
  const QStringList items{"framing-mode=single", "mirror=on",     "pickup=high",
                          "people-box=on",       "preset=bright", "brightness=300",
                          "saturation=-5",       "angle=60",      "angle=90"};
  const ControlReply reply = run(request(Command::Set, items));
  ASSERT_EQ(reply.exit, ExitCode::Done) << reply.message.toStdString();
  EXPECT_EQ(reply.result.toObject(), (QJsonObject{{"framing-mode", "single"},
                                                  {"mirror", true},
                                                  {"pickup", "high"},
                                                  {"people-box", true},
                                                  {"preset", "bright"},
                                                  {"brightness", 178},
                                                  {"saturation", 78},
                                                  {"angle", 90}}));
  EXPECT_EQ(first.functions(), (sim::CameraFunctions{false, 1, true, 90, true, 80}));
  const QUVCParams bright = QUVCParams::preset(QUVCParams::ImageMode::bright);
  EXPECT_EQ((std::array{uvcValue(first, kUvcBrightness), uvcValue(first, kUvcContrast),
                        uvcValue(first, kUvcSaturation), uvcValue(first, kUvcSharpness)}),
            (std::array<qint64, 4>{178, bright.contrast, 78, bright.sharpness}));
  // A usage error sends nothing, not even the valid items before it.
  const ControlReply bad =
      run(request(Command::Set, {QStringLiteral("angle=120"), QStringLiteral("angle=45")}));
  EXPECT_EQ(bad.exit, ExitCode::Usage);
  EXPECT_EQ(first.functions().angle, 90);
}

TEST_F(RunnerTest, TheKeeperHoldsWhatWasSetAndSaveRecordsIt) {
  keeper = std::make_unique<QSettingsKeeper>(*uvc, platform.scheduler(), dataBase);
  runner = std::make_unique<CameraCommandRunner>(manager, platform, net, dataBase, keeper.get());
  // The keeper keeps a camera that has a record: the factory values.
  ASSERT_TRUE(dataBase.setUVCParams(QUVCParams::defaultParams(), QStringLiteral("VXK31D2612001")));
  keeper->cameraArrived(0x03142000, first.serialNumber());
  ASSERT_TRUE(test::waitUntil([&] { return keeper->heldValues(0x03142000).has_value(); }));

  ASSERT_EQ(
      run(request(Command::Set, {QStringLiteral("preset=vivid"), QStringLiteral("brightness=140"),
                                 QStringLiteral("mirror=on")}))
          .exit,
      ExitCode::Done);
  QUVCParams expected = QUVCParams::preset(QUVCParams::ImageMode::vivid);
  expected.brightness = 140;
  EXPECT_EQ(keeper->heldValues(0x03142000)->brightness, 140);
  EXPECT_EQ(keeper->heldValues(0x03142000)->saturation, expected.saturation);
  EXPECT_EQ(uvcValue(first, kUvcBrightness), 140);  // not set back by the keeper
  EXPECT_NE(first.savedFunctions(), first.functions());

  const ControlReply saved = run(request(Command::Save));
  ASSERT_EQ(saved.exit, ExitCode::Done) << saved.message.toStdString();
  EXPECT_EQ(first.savedFunctions(), first.functions());
  const std::optional<QUVCParams> record = dataBase.getUVCParams(QStringLiteral("VXK31D2612001"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->mode, QUVCParams::ImageMode::custom);
  EXPECT_EQ(record->brightness, 140);
  EXPECT_EQ(record->saturation, expected.saturation);
}

// The further controls by key: values by number, switch or menu item, fitted onto the range;
// what the camera cannot take is refused before anything is sent.
TEST_F(RunnerTest, FurtherControlsAreSetByTheirKeys) {
  const QStringList items{"white-balance-automatic=off", "white-balance-temperature=5004",
                          "power-line-frequency=60hz", "gain=900", "auto-exposure=1"};
  const ControlReply reply = run(request(Command::Set, items));
  ASSERT_EQ(reply.exit, ExitCode::Done) << reply.message.toStdString();
  const QJsonObject expected{{"white-balance-automatic", false},
                             {"white-balance-temperature", 5000},
                             {"power-line-frequency", "60 Hz"},
                             {"gain", 100},
                             {"auto-exposure", "Manual Mode"}};
  EXPECT_EQ(reply.result.toObject(), expected);
  const QJsonObject read = run(request(Command::Get, expected.keys())).result.toObject();
  EXPECT_EQ(read, expected);
  for (const char* item : {"gain=abc", "power-line-frequency=55 Hz", "zoom-absolute=3", "gain"}) {
    const ControlReply refused = run(request(Command::Set, {"gain=7", QString::fromLatin1(item)}));
    EXPECT_EQ(refused.exit, ExitCode::Usage) << item;
  }
  EXPECT_EQ(run(request(Command::Get, {"gain"})).result[QStringLiteral("gain")], 100);
}

// A preset saved on one camera travels through its file to another computer's camera whose
// ranges differ: imported and applied there with what was adjusted told, and held by the
// keeper. Files that are not presets are refused.
TEST_F(RunnerTest, APresetTravelsToACameraWithOtherRanges) {
  runner->usePresetFile(folder.filePath(QStringLiteral("presets.ini")));
  ASSERT_EQ(run(request(Command::Set, {"gain=80", "angle=60", "white-balance-automatic=off"})).exit,
            ExitCode::Done);
  ControlRequest save = preset(ControlRequest::PresetAction::Save, QStringLiteral("Studio"));
  ASSERT_EQ(run(save).exit, ExitCode::Done);
  const QString file = folder.filePath(QStringLiteral("studio.vexhal-preset.json"));
  ASSERT_EQ(run(preset(ControlRequest::PresetAction::Export, QStringLiteral("Studio"), file)).exit,
            ExitCode::Done);

  // The other computer: a store of its own and a camera whose gain goes to 255.
  first.unplug();
  plug(second);
  keeper = std::make_unique<QSettingsKeeper>(*uvc, platform.scheduler(), dataBase);
  runner = std::make_unique<CameraCommandRunner>(manager, platform, net, dataBase, keeper.get());
  runner->usePresetFile(folder.filePath(QStringLiteral("elsewhere.ini")));
  ASSERT_TRUE(dataBase.setUVCParams(QUVCParams::defaultParams(), QStringLiteral("VXK31D2612002")));
  keeper->cameraArrived(0x03143000, second.serialNumber());
  ASSERT_TRUE(test::waitUntil([&] { return keeper->heldValues(0x03143000).has_value(); }));
  const ControlReply imported = run(preset(ControlRequest::PresetAction::Import, {}, file));
  ASSERT_EQ(imported.exit, ExitCode::Done) << imported.message.toStdString();
  EXPECT_EQ(imported.result[QStringLiteral("added")], QJsonArray{"Studio"});
  EXPECT_EQ(run(preset(ControlRequest::PresetAction::Import, {}, file))
                .result[QStringLiteral("replaced")],
            QJsonArray{"Studio"});

  const ControlReply applied =
      run(preset(ControlRequest::PresetAction::Apply, QStringLiteral("Studio")));
  ASSERT_EQ(applied.exit, ExitCode::Done) << applied.message.toStdString();
  ASSERT_EQ(applied.adjusted.size(), 1);
  EXPECT_EQ(applied.adjusted[0][QStringLiteral("control")], "gain");
  EXPECT_EQ(applied.adjusted[0][QStringLiteral("change")], "scaled");
  EXPECT_EQ(applied.adjusted[0][QStringLiteral("to")], 204);
  EXPECT_EQ(run(request(Command::Get, {"gain"})).result[QStringLiteral("gain")], 204);
  EXPECT_EQ(second.functions().angle, 60);
  EXPECT_EQ(keeper->heldValues(0x03143000)->further.at("gain").value, 204);

  QFile hostile(folder.filePath(QStringLiteral("hostile.vexhal-preset.json")));
  ASSERT_TRUE(hostile.open(QIODevice::WriteOnly));
  hostile.write(QByteArray(100, '[') + QByteArray(100, ']'));
  hostile.close();
  for (const QString& path :
       {hostile.fileName(), folder.filePath(QStringLiteral("missing.json"))}) {
    const ControlReply refused = run(preset(ControlRequest::PresetAction::Import, {}, path));
    EXPECT_EQ(refused.exit, ExitCode::Usage) << refused.message.toStdString();
    EXPECT_TRUE(refused.message.contains(QStringLiteral("was not imported")));
  }
}

TEST_F(RunnerTest, RefusalsSilenceAndUnplugsEndWithAClearMessage) {
  struct Case {
    const char* what;
    sim::SimFaults faults;
    ControlRequest request;
    ExitCode exit;
    std::optional<std::int64_t> code;
    const char* messagePart;
  };
  sim::SimFaults refusesAngle;
  refusesAngle.errorCodes[kCmdSetAngle] = 5;
  sim::SimFaults refusesSave;
  refusesSave.errorCodes[kCmdSave] = 9;
  sim::SimFaults silent;
  silent.noReply = {kCmdGetAngle};
  sim::SimFaults silentSave;
  silentSave.noReply = {kCmdSave};
  ControlRequest quickGet = request(Command::Get);
  quickGet.timeout = 300ms;
  ControlRequest quickSave = request(Command::Save);
  quickSave.timeout = 300ms;
  const Case cases[] = {
      {"refused set", refusesAngle, request(Command::Set, {QStringLiteral("angle=90")}),
       ExitCode::Failed, 5, "The camera refused angle=90 (code 5)."},
      {"refused save", refusesSave, request(Command::Save), ExitCode::Failed, 9,
       "The camera refused the save (code 9)."},
      {"silent get", silent, quickGet, ExitCode::NoAnswer, std::nullopt,
       "The camera did not tell its settings within 0.3 s."},
      {"silent save", silentSave, quickSave, ExitCode::NoAnswer, std::nullopt,
       "The camera did not answer the save within 0.3 s."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    first.setFaults(c.faults);
    const ControlReply reply = run(c.request);
    EXPECT_EQ(reply.exit, c.exit);
    EXPECT_EQ(reply.code, c.code);
    EXPECT_EQ(reply.message, QString::fromUtf8(c.messagePart));
  }
  EXPECT_TRUE(dataBase.getUVCParams(QStringLiteral("VXK31D2612001")) == std::nullopt);
  // The camera answers again: its reply is not taken for the read given up on above.
  first.setFaults({});
  const ControlReply again = run(request(Command::Get));
  EXPECT_EQ(again.exit, ExitCode::Done) << again.message.toStdString();

  // Unplugged while the camera has not answered yet.
  sim::SimFaults slow;
  slow.replyDelay = 2s;
  first.setFaults(slow);
  std::optional<ControlReply> reply;
  const std::uint64_t reports = first.reportsReceived();
  runner->run(request(Command::Get), {}, [&](const ControlReply& r) { reply = r; });
  ASSERT_TRUE(test::waitUntil([&] { return first.reportsReceived() > reports; }));
  first.unplug();
  ASSERT_TRUE(test::waitUntil([&] { return reply.has_value(); }));
  EXPECT_EQ(reply->exit, ExitCode::NoCamera);
  EXPECT_EQ(reply->message, QStringLiteral("The camera was unplugged before it answered."));
}

struct FirmwareTest : RunnerTest {
  QString package(FirmwareVersion version) {
    const QString path = folder.filePath(QStringLiteral("fw-%1.bin").arg(version.minor));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(sim::buildFirmwareImage(version, QByteArray(64 * 1024, 'x')));
    return path;
  }
  ControlRequest install(const QString& path, bool wait = true) {
    ControlRequest r = request(Command::Firmware);
    r.file = path;
    r.wait = wait;
    return r;
  }
};

TEST_F(FirmwareTest, InstallsWaitsForTheRestartAndChecksTheVersion) {
  std::vector<int> progress;
  const ControlReply reply = run(install(package({1, 1, 0})), &progress);
  ASSERT_EQ(reply.exit, ExitCode::Done) << reply.message.toStdString();
  EXPECT_EQ(reply.result.toObject(),
            (QJsonObject{{QStringLiteral("previous"), QStringLiteral("1.0.6")},
                         {QStringLiteral("version"), QStringLiteral("1.1.0")}}));
  EXPECT_EQ(first.firmwareVersion(), (FirmwareVersion{1, 1, 0}));
  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), 100);
  EXPECT_FALSE(platform.firmwareInstalling());
}

TEST_F(FirmwareTest, BrokenTransfersAndMissingPackagesFail) {
  const ControlReply missing = run(install(folder.filePath(QStringLiteral("none.bin"))));
  EXPECT_EQ(missing.exit, ExitCode::Usage);
  EXPECT_TRUE(missing.message.contains(QStringLiteral("is not a readable, non-empty file")));

  const ControlReply noWait = run(install(package({1, 2, 0}), false));
  ASSERT_EQ(noWait.exit, ExitCode::Done) << noWait.message.toStdString();
  EXPECT_EQ(noWait.result.toObject().value(QStringLiteral("transferred")), true);
  ASSERT_TRUE(test::waitUntil([&] { return first.firmwareVersion() == FirmwareVersion{1, 2, 0}; }));
  ASSERT_TRUE(test::waitUntil([&] { return manager.devices().size() == 1; }));

  sim::SimFaults pulled;
  pulled.detachAfterPacket = 5;
  pulled.neverReturn = true;
  first.setFaults(pulled);
  const ControlReply unplugged = run(install(package({1, 3, 0})));
  EXPECT_EQ(unplugged.exit, ExitCode::Failed);
  EXPECT_EQ(unplugged.message, QStringLiteral("The camera was unplugged during the transfer; the "
                                              "package was not installed."));
}

TEST_F(RunnerTest, CheckUpdateAsksTheServiceAndDownloadsTheOffer) {
  sim::UpdateService service;
  ASSERT_TRUE(service.listenHttp());
  net.config(service.url(QString(), false), QString::number(service.httpPort()));
  const QByteArray bytes(256 * 1024, 'p');
  service.addPackage(QStringLiteral("/fw.bin"), bytes);
  service.setAnswer(QStringLiteral("VX-K31D"), QStringLiteral("1.0.6"),
                    sim::UpdateService::offer(QStringLiteral("1.1.0"),
                                              service.url(QStringLiteral("/fw.bin"), false),
                                              QStringLiteral("Fixes"), bytes, false));
  ControlRequest check = request(Command::CheckUpdate);
  check.file = folder.filePath(QStringLiteral("download.bin"));
  std::vector<int> progress;
  const ControlReply reply = run(check, &progress);
  ASSERT_EQ(reply.exit, ExitCode::Done) << reply.message.toStdString();
  const QJsonObject offer = reply.result.toObject();
  EXPECT_EQ(offer.value(QStringLiteral("current")), QStringLiteral("1.0.6"));
  EXPECT_EQ(offer.value(QStringLiteral("offered")), QStringLiteral("1.1.0"));
  EXPECT_EQ(offer.value(QStringLiteral("newer")), true);
  EXPECT_EQ(offer.value(QStringLiteral("downloaded")), check.file);
  QFile saved(check.file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), bytes);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);

  // A service failure is a failure, exit 1.
  service.setFault(QString::fromLatin1(sim::UpdateService::kVersionCheckPath),
                   sim::UpdateService::Fault::ServerError);
  const ControlReply failed = run(request(Command::CheckUpdate));
  EXPECT_EQ(failed.exit, ExitCode::Failed);

  // A service that holds its answer back is no answer within the request's timeout.
  service.setFault(QString::fromLatin1(sim::UpdateService::kVersionCheckPath),
                   sim::UpdateService::Fault::Slow);
  service.setSlowDelay(2s);
  ControlRequest quick = request(Command::CheckUpdate);
  quick.timeout = 300ms;
  const ControlReply silent = run(quick);
  EXPECT_EQ(silent.exit, ExitCode::NoAnswer);
  EXPECT_EQ(silent.message, QStringLiteral("The update service did not answer within 0.3 s."));
}

}  // namespace
}  // namespace vexhal::control
