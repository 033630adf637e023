// The diagnostics zip over virtual cameras and a fake system tree: its entries, report.json
// read back, masking searched byte-wise in every entry, and the exports that must fail cleanly.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <ostrane/QFileLogger.h>

#include <csignal>
#include <future>
#include <pthread.h>
#include <thread>
#include <map>
#include <sys/resource.h>
#include <zip.h>

#include "SimCaptureBackend.h"
#include "SimHidDiscovery.h"
#include "SimUvcTransportFactory.h"
#include "VirtualCamera.h"
#include "common/EventLoop.h"
#include "device/hid/USBHidManager.h"
#include "device/uvc/UVCControlInfo.h"
#include "diagnostics/DiagnosticsExport.h"
#include "diagnostics/PosixAcl.h"
#include "diagnostics/SerialMask.h"
#include "platform/NodeHolder.h"
#include "platform/Platform.h"
#include "video/CaptureBackend.h"
#include "platform/QCameraAccessSystem.h"

namespace vexhal::diagnostics {
namespace {

using Entries = std::map<QString, QByteArray>;
constexpr char kSerial[] = "VXK31D2612001";

void writeFile(const QString& path, const QByteArray& content) {
  QDir().mkpath(path.section(u'/', 0, -2));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content);
}

// Every entry of the zip with its content, read through libzip's checks.
Entries entries(const QString& path) {
  Entries found;
  int error = 0;
  zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  EXPECT_NE(zip, nullptr) << path.toStdString() << ": libzip error " << error;
  for (zip_int64_t i = 0; zip != nullptr && i < zip_get_num_entries(zip, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &stat);
    QByteArray data(static_cast<qsizetype>(stat.size), '\0');
    zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
    EXPECT_EQ(zip_fread(file, data.data(), stat.size), static_cast<zip_int64_t>(stat.size));
    zip_fclose(file);
    found[QString::fromUtf8(stat.name)] = data;
  }
  if (zip != nullptr) zip_discard(zip);
  return found;
}

struct DiagnosticsTest : testing::Test {
  DiagnosticsTest() {
    test::ensureCoreApplication();
    platform.setUvcTransportFactory(uvc);
    platform.setCaptureBackend(capture);
    // The fake tree: os-release, a refused video node that udev tagged for the seat's user, and
    // a busy one.
    const QString root = tree.path();
    writeFile(root + "/etc/os-release", "NAME=Test\nPRETTY_NAME=\"Test Linux 9\"\n");
    writeFile(root + "/dev/video7", {});
    writeFile(root + "/dev/video8", {});
    writeFile(root + "/sys/class/video4linux/video7/dev", "81:7\n");
    writeFile(root + "/run/udev/data/c81:7", "E:ID_SERIAL=x\nG:seat\nQ:seat\nQ:uaccess\n");
    system->root = root;
    system->openError = [](const QString& path) {
      return path.endsWith("video7") ? EACCES : path.endsWith("video8") ? EBUSY : 0;
    };
    system->videoNodes = [](std::int64_t location) {
      return location == 0x03142000 ? QStringList{"/dev/video7", "/dev/video8"} : QStringList{};
    };
    system->nodeHolder = [](const QString& path) { return findNodeHolder(path); };
    platform.setAccessSystem(system);
    logger->write("camera " + std::string(kSerial) + " attached");
    QDataBase(dataBase).setUVCParams(QUVCParams::preset(QUVCParams::ImageMode::vivid),
                                     QString::fromLatin1(kSerial));
    manager.startMonitoringForVendorID(camera.vendorId(), camera.productId());
  }
  ~DiagnosticsTest() override { capture->stop({}); }

  void plug() {
    camera.plug();
    ASSERT_TRUE(test::waitUntil([&] { return !manager.devices().empty(); }));
  }

  ExportResult run(DiagnosticsExport& exporter, ExportOptions options) {
    std::optional<ExportResult> result;
    exporter.start(options, [&](const ExportResult& r) { result = r; });
    EXPECT_FALSE(result) << "done ran inside start()";
    EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); }));
    return result.value_or(ExportResult{});
  }
  ExportResult run(ExportOptions options) {
    DiagnosticsExport exporter(manager, platform, logger, QDataBase(dataBase));
    return run(exporter, std::move(options));
  }

  QTemporaryDir tree;
  QTemporaryDir out;
  QString dataBase = out.filePath("settings.ini");
  std::shared_ptr<QCameraAccessSystem> system = std::make_shared<QCameraAccessSystem>();
  std::shared_ptr<ostrane::QFileLogger> logger = std::make_shared<ostrane::QFileLogger>(
      std::make_shared<ostrane::QFileLogConfig>(out.filePath("QLogs").toStdString()));
  sim::VirtualCamera camera;
  std::shared_ptr<sim::SimUvcTransportFactory> uvc =
      std::make_shared<sim::SimUvcTransportFactory>(std::vector{&camera});
  std::shared_ptr<sim::SimCaptureBackend> capture =
      std::make_shared<sim::SimCaptureBackend>(std::vector{&camera});
  USBHidManager manager{std::make_unique<sim::SimHidDiscovery>(std::vector{&camera})};
  Platform platform;
};

TEST_F(DiagnosticsTest, ReportOfAVirtualCameraOverAFakeTree) {
  plug();
  QProcess holder;  // keeps the busy node open
  holder.setStandardInputFile(tree.filePath("dev/video8"));
  holder.start("sleep", {"30"});
  ASSERT_TRUE(holder.waitForStarted(5000));
  writeFile(tree.path() + "/.flatpak-info", "[Application]\nname=x\n");
  const QString target = out.filePath(DiagnosticsExport::defaultFileName(QDate(2026, 12, 8)));
  EXPECT_TRUE(target.endsWith("/VexhalTools-diagnostics-2026-12-08.zip"));
  const ExportResult result = run({target, false});
  ASSERT_TRUE(result.ok) << result.error.toStdString();
  const Entries zip = entries(result.path);
  ASSERT_TRUE(zip.count("report.json") && zip.count("report.txt"));
  const auto log = std::find_if(zip.begin(), zip.end(), [](const auto& e) {
    return e.first.startsWith("logs/") && e.first.endsWith(".log");
  });
  ASSERT_NE(log, zip.end());
  EXPECT_TRUE(log->second.contains(QByteArray("camera ") + kSerial + " attached\n"));

  const QJsonObject report = QJsonDocument::fromJson(zip.at("report.json")).object();
  const QJsonObject sys = report["system"].toObject();
  EXPECT_EQ(sys["distribution"].toString(), "Test Linux 9");
  EXPECT_EQ(sys["sandbox"].toString(), "flatpak");
  EXPECT_FALSE(sys["kernel"].toString().isEmpty());
  ASSERT_EQ(report["cameras"].toArray().size(), 1);
  const QJsonObject cam = report["cameras"][0].toObject();
  EXPECT_EQ(cam["serial"].toString(), kSerial);
  EXPECT_EQ(cam["vendorId"].toString(), "0xb206");
  EXPECT_EQ(cam["usbLocation"].toString(), "0x03142000");
  EXPECT_EQ(cam["state"].toString(), "ready");
  EXPECT_FALSE(cam["firmware"].toString().isEmpty());
  EXPECT_EQ(cam["storedRecord"]["mode"].toString(), "Vivid");
  EXPECT_EQ(cam["functions"].toObject().size(), 6);
  for (const QJsonValue value : cam["functions"].toObject()) EXPECT_TRUE(value.isDouble());
  // Every control, the current value as the camera holds it.
  const QJsonArray controls = cam["controls"].toArray();
  ASSERT_EQ(controls.size(), 12);
  EXPECT_EQ(controls[0]["name"].toString(), "brightness");
  EXPECT_EQ(controls[0]["current"].toInteger(),
            camera.uvcControls().value(kUvcBrightness).value_or(-1));
  EXPECT_LT(controls[0]["min"].toInteger(), controls[0]["max"].toInteger());
  // The vendor unit answers only GET_CUR: its range is unknown, not 0..0.
  EXPECT_EQ(controls[10]["name"].toString(), "fieldOfView");
  EXPECT_TRUE(controls[10]["min"].isNull());
  EXPECT_EQ(controls[10]["current"].toInteger(), 120);
  // The refused node of the tree, and the virtual capture device with its formats.
  const QJsonArray video = cam["video"].toArray();
  ASSERT_EQ(video.size(), 3);
  const QJsonObject refused = video[0]["node"].toObject();
  EXPECT_EQ(refused["path"].toString(), "/dev/video7");
  EXPECT_FALSE(refused["opens"].toBool());
  EXPECT_EQ(refused["udevTags"].toArray(), QJsonArray({"seat", "uaccess"}));
  EXPECT_TRUE(refused["uaccess"].toBool());
  EXPECT_FALSE(video[2]["formats"].toArray().isEmpty());
  EXPECT_GT(video[2]["formats"][0]["width"].toInt(), 0);
  // The doctor names the program that holds the busy node.
  const QJsonArray findings = cam["doctor"]["nodes"].toArray();
  ASSERT_EQ(findings.size(), 3);
  EXPECT_EQ(findings[1]["verdict"].toString(), "refused");
  EXPECT_EQ(findings[2]["verdict"].toString(), "busy");
  EXPECT_EQ(findings[2]["holder"]["name"].toString(), "sleep");
  EXPECT_EQ(findings[2]["holder"]["pid"].toInteger(), holder.processId());
  EXPECT_TRUE(zip.at("report.txt").contains("/dev/video7: does not open (Permission denied)"));
  EXPECT_TRUE(
      zip.at("report.txt")
          .contains(
              QStringLiteral("in use by sleep (process %1)").arg(holder.processId()).toUtf8()));
  holder.kill();
  holder.waitForFinished(5000);
}

TEST_F(DiagnosticsTest, MaskingLeavesNoSerialInAnyEntry) {
  plug();
  const ExportResult result = run({out.filePath("masked.zip"), true});
  ASSERT_TRUE(result.ok) << result.error.toStdString();
  const QByteArray token = SerialMask::tokenFor(kSerial).toLatin1();
  const Entries zip = entries(result.path);
  int logsWithToken = 0;
  for (const auto& [name, bytes] : zip) {
    EXPECT_FALSE(bytes.contains(kSerial)) << name.toStdString();
    logsWithToken += name.startsWith("logs/") && bytes.contains(token) ? 1 : 0;
  }
  EXPECT_EQ(logsWithToken, 1);
  EXPECT_TRUE(zip.at("report.json").contains(token));
  EXPECT_EQ(SerialMask({kSerial}).apply("a VXK31D2612001 b"), "a " + token + " b");
  // A run without line ends goes out in parts once over 1 MiB; a serial that arrives across the
  // first cut is still masked.
  const SerialMask mask({kSerial});
  const qsizetype chunk = 64 * 1024;
  QByteArray run(2 * 1024 * 1024, 'a');
  run.replace(17 * chunk - 6, 13, kSerial);
  QByteArray pending;
  QByteArray masked;
  for (qsizetype at = 0; at < run.size(); at += chunk)
    masked += mask.feed(pending, run.mid(at, chunk));
  masked += mask.finish(pending);
  EXPECT_EQ(masked, mask.apply(run));
  EXPECT_FALSE(masked.contains(kSerial));
}

// No camera and no sandbox; a second start while one runs; a directory or an unwritable folder
// at the target; a disk that fills up: a clear error and no file left behind.
TEST_F(DiagnosticsTest, BadDaysFailWithAClearErrorAndLeaveNoFile) {
  DiagnosticsExport exporter(manager, platform, logger, QDataBase(dataBase));
  std::optional<ExportResult> second;
  exporter.start({out.filePath("first.zip"), false}, [](const ExportResult&) {});
  exporter.start({out.filePath("second.zip"), false}, [&](const ExportResult& r) { second = r; });
  ASSERT_TRUE(test::waitUntil([&] { return !exporter.running(); }));
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->error, "A diagnostics export is already running.");
  const QJsonObject report =
      QJsonDocument::fromJson(entries(out.filePath("first.zip")).at("report.json")).object();
  EXPECT_TRUE(report["cameras"].toArray().isEmpty());
  EXPECT_EQ(report["system"]["sandbox"].toString(), "none");

  QDir().mkpath(out.filePath("folder.zip"));
  EXPECT_EQ(run(exporter, {out.filePath("folder.zip"), false}).error,
            "Could not write " + out.filePath("folder.zip") + ": Is a directory");
  EXPECT_EQ(run(exporter, {out.filePath("none/x.zip"), false}).error,
            "Could not write " + out.filePath("none/x.zip") + ": No such file or directory");

  // A report too large for the file-size limit: 40 KiB that do not compress.
  QByteArray noise;
  for (int i = 0; noise.size() < 40 * 1024; ++i)
    noise += QCryptographicHash::hash(QByteArray::number(i), QCryptographicHash::Sha256).toHex();
  writeFile(tree.path() + "/etc/os-release", "PRETTY_NAME=" + noise + "\n");
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 16 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  const ExportResult full = run(exporter, {out.filePath("full.zip"), false});
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(full.error, "Could not write " + out.filePath("full.zip") + ": File too large");
  EXPECT_EQ(QDir(out.path()).entryList({"full.zip*"}, QDir::Files), QStringList());
}

// A capture backend that notes the thread that lists its devices, and holds it there until let go.
struct HeldBackend : video::CaptureBackend {
  std::vector<video::CaptureDevice> devices() override {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    threadName = name;
    if (!held) entered.set_value();
    held = true;
    gate.wait();
    return {};
  }
  std::vector<video::CaptureFormat> formats(const video::CaptureDevice&) override { return {}; }
  std::uint32_t preferredOutputPixelFormat() const override { return 0; }
  void start(const video::CaptureDevice&, const video::CaptureFormat&, double, video::CaptureSink,
             video::CaptureCompletion) override {}
  void stop(video::CaptureCompletion) override {}

  std::string threadName;
  bool held = false;
  std::promise<void> entered;
  std::shared_future<void> gate;
};

// The files and devices are read on the worker "diagnostics"; the export destroyed while it
// works waits for it, and its result reaches no one.
TEST_F(DiagnosticsTest, WorkerIsNamedAndOutlivedSafely) {
  plug();
  auto held = std::make_shared<HeldBackend>();
  std::promise<void> letGo;
  held->gate = letGo.get_future().share();
  platform.setCaptureBackend(held);
  bool called = false;
  std::thread opener;
  {
    DiagnosticsExport exporter(manager, platform, logger, QDataBase(dataBase));
    exporter.start({out.filePath("gone.zip"), false}, [&](const ExportResult&) { called = true; });
    std::future<void> entered = held->entered.get_future();
    ASSERT_TRUE(test::waitUntil(
        [&] { return entered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    opener = std::thread([&letGo] { letGo.set_value(); });
  }
  opener.join();
  test::settle();
  EXPECT_FALSE(called);
  EXPECT_EQ(held->threadName, "diagnostics");
  platform.setCaptureBackend(capture);
}

// The kernel's ACL bytes: the user's own entry, limited by the mask.
TEST(PosixAclTest, ReadsTheUsersEntryUnderTheMask) {
  const auto entry = [](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
    QByteArray bytes;
    for (int i = 0; i < 2; ++i) bytes.append(char(tag >> (8 * i)));
    for (int i = 0; i < 2; ++i) bytes.append(char(perm >> (8 * i)));
    for (int i = 0; i < 4; ++i) bytes.append(char(id >> (8 * i)));
    return bytes;
  };
  const QByteArray head("\x02\0\0\0", 4);
  const QByteArray acl = head + entry(1, 6, 0xFFFFFFFF) + entry(2, 7, 1000) + entry(2, 4, 1001) +
                         entry(0x10, 6, 0xFFFFFFFF);
  EXPECT_EQ(PosixAcl::userEntry(acl, 1000), "rw-");
  EXPECT_EQ(PosixAcl::userEntry(acl, 1001), "r--");
  EXPECT_EQ(PosixAcl::userEntry(acl, 1002), std::nullopt);
  EXPECT_EQ(PosixAcl::userEntry(acl.left(10), 1000), std::nullopt);
}

}  // namespace
}  // namespace vexhal::diagnostics
