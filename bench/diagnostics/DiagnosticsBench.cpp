// The diagnostics export with 50 MiB of logs and one virtual camera: wall time, peak memory
// above the resident size before it, and the main thread's longest gap between two ticks of a
// 10 ms timer while it runs; unmasked and masked. The anchor, measured in the same run, is the
// log library's own zipLogDir of the same folder on the calling thread.
// Usage: diagnostics_bench [MiB of logs]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <ostrane/QFileLogger.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "SimCaptureBackend.h"
#include "SimHidDiscovery.h"
#include "SimUvcTransportFactory.h"
#include "VirtualCamera.h"
#include "device/hid/USBHidManager.h"
#include "diagnostics/DiagnosticsExport.h"
#include "platform/Platform.h"

using namespace vexhal;

namespace {

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS").
long statusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

// Starts the peak resident size afresh at the current one.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Log files of `mib` MiB in all, ten files, lines like the program's own.
void writeLogs(const QString& dir, int mib) {
  QDir().mkpath(dir);
  const qint64 perFile = qint64(mib) * 1024 * 1024 / 10;
  for (int f = 0; f < 10; ++f) {
    QFile file(QStringLiteral("%1/VexhalTools_2026-12-08 09:00:0%2_0.log").arg(dir).arg(f));
    if (!file.open(QIODevice::WriteOnly)) std::abort();
    for (qint64 line = 0; file.size() < perFile; ++line)
      file.write(QStringLiteral("[2026-12-08 09:00:%1.%2] [info]: camera VXK31D2612001 frame %3 "
                                "delivered in %4 us, queue %5\n")
                     .arg(line % 60, 2, 10, QChar('0'))
                     .arg(line % 1000, 3, 10, QChar('0'))
                     .arg(line)
                     .arg(line * 7919 % 33000)
                     .arg(line % 4)
                     .toUtf8());
  }
}

struct Measure {
  double ms = 0;
  double peakMiB = 0;
  double longestGapMs = 0;
};

Measure measure(const std::function<void(std::function<void()> finished)>& work) {
  const long rssBefore = statusKiB("VmRSS");
  resetPeak();
  QElapsedTimer clock;
  QElapsedTimer sinceTick;
  qint64 longestGap = 0;
  QTimer ticks;
  ticks.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticks, &QTimer::timeout,
                   [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
  // The main thread sleeps in its event loop, as the program's would, until the work ends.
  QEventLoop loop;
  bool done = false;
  clock.start();
  sinceTick.start();
  ticks.start(10);
  work([&] {
    done = true;
    loop.quit();
  });
  longestGap = std::max(longestGap, sinceTick.elapsed());
  if (!done) loop.exec();
  Measure m;
  m.ms = double(clock.nsecsElapsed()) / 1e6;
  m.peakMiB = double(statusKiB("VmHWM") - rssBefore) / 1024;
  m.longestGapMs = double(longestGap);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  QTemporaryDir work;
  const QString logDir = work.filePath("QLogs");
  writeLogs(logDir, mib);
  auto logger = std::make_shared<ostrane::QFileLogger>(
      std::make_shared<ostrane::QFileLogConfig>(logDir.toStdString()));

  sim::VirtualCamera camera;
  Platform platform;
  platform.setUvcTransportFactory(
      std::make_shared<sim::SimUvcTransportFactory>(std::vector{&camera}));
  auto capture = std::make_shared<sim::SimCaptureBackend>(std::vector{&camera});
  platform.setCaptureBackend(capture);
  USBHidManager manager(std::make_unique<sim::SimHidDiscovery>(std::vector{&camera}));
  manager.startMonitoringForVendorID(camera.vendorId(), camera.productId());
  camera.plug();
  for (int i = 0; i < 200 && manager.devices().empty(); ++i)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);

  const auto anchorOnce = [&] {
    return measure([&](std::function<void()> finished) {
      if (logger->zipLogDir(work.filePath("anchor.zip").toStdString()).empty()) std::abort();
      finished();
    });
  };
  diagnostics::DiagnosticsExport exporter(manager, platform, logger,
                                          QDataBase(work.filePath("settings.ini")));
  const auto exportOnce = [&](bool mask) {
    return measure([&](std::function<void()> finished) {
      exporter.start({work.filePath("diagnostics.zip"), mask},
                     [finished](const diagnostics::ExportResult& result) {
                       if (!result.ok) std::fprintf(stderr, "%s\n", qPrintable(result.error));
                       finished();
                     });
    });
  };
  // Anchors between the exports, so that a machine shared with other work weighs on both.
  const Measure anchor1 = anchorOnce();
  const Measure plain = exportOnce(false);
  const Measure anchor2 = anchorOnce();
  const Measure masked = exportOnce(true);
  const Measure anchor3 = anchorOnce();
  capture->stop({});

  std::printf("diagnostics export, %d MiB of logs in 10 files, 1 virtual camera\n", mib);
  std::printf("%-28s %10s %8s %10s %12s\n", "", "time ms", "ratio", "peak MiB", "main gap ms");
  const auto row = [&](const char* name, const Measure& m, double anchorMs) {
    std::printf("%-28s %10.1f %8.2f %10.1f %12.1f\n", name, m.ms, m.ms / anchorMs, m.peakMiB,
                m.longestGapMs);
  };
  const double before = (anchor1.ms + anchor2.ms) / 2;
  const double after = (anchor2.ms + anchor3.ms) / 2;
  row("anchor: zipLogDir (caller)", anchor2, (anchor1.ms + anchor2.ms + anchor3.ms) / 3);
  row("export", plain, before);
  row("export, serials masked", masked, after);
  std::printf(
      "ratios against the mean of the anchors measured just before and after; anchors "
      "%.1f / %.1f / %.1f ms\n",
      anchor1.ms, anchor2.ms, anchor3.ms);
  return 0;
}
