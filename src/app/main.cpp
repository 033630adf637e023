#include <QApplication>
#include <QMetaObject>

#include <ostrane/ostrane.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include <malloc.h>

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/ControlRequestServer.h"
#include "app/DemoSession.h"
#include "app/QSingleInstance.h"
#include "app/QTerminationSignals.h"
#include "control/CameraCommandRunner.h"
#include "device/hid/USBHidManager.h"
#include "diagnostics/DiagnosticsExport.h"
#include "net/RNetManager.h"
#include "platform/DesktopServices.h"
#include "platform/Platform.h"
#include "section/about/QDiagnosticsSupport.h"

OSTRANE_DISPLAY_NAME("VexhalTools")

// What runs where. The main thread runs every screen, the HID reports (read and written under
// socket notifiers), the UVC control requests and every completion, network ones included.
// Besides it: "vexhal-capture" streams from the V4L2 node; "vexhal-frames" decodes frames and
// hands them to the preview; "vexhal-devfind" looks for the control screen's capture device;
// "com.log.queue" and "com.log.list" write and list Ostrane's files; "diagnostics" makes an
// export's report and zip; Qt Network keeps one
// thread of its own for HTTP, and Qt D-Bus one for the system-bus connection that tells of
// wake-ups. In --demo the virtual camera adds "vexhal-sim-render" (its
// picture loop) and "vexhal-sim-video" (frame delivery); its HID side and the local update
// service answer on the main thread.
// Locks on the frame path, always taken in this order and never held across a call out of the
// video layer: the preview's render handle, then the view's size lock, then the presenter's
// decode lock, then the presenter's picture lock (the last two are leaves: nothing is called
// while they are held but the decoder). The camera's output and failure blocks are copied out
// of their lock before they run.

namespace {

bool hasDisplay() {
  return std::getenv("QT_QPA_PLATFORM") != nullptr || std::getenv("DISPLAY") != nullptr ||
         std::getenv("WAYLAND_DISPLAY") != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // Blocks of a megabyte and more (frames, pictures, firmware packages) get a mapping of their
  // own, unmapped when freed. glibc would raise this limit after the first such block is freed
  // and keep the later ones in its heaps, where each capture and decode thread's heap then holds
  // megabytes of freed memory for the life of the program.
  ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
  // A file that reaches the size limit (ulimit -f) then fails to grow instead of ending us.
  std::signal(SIGXFSZ, SIG_IGN);
  vexhal::CommandLine commandLine;
  if (const auto exitCode = commandLine.parse(argc, argv)) {
    return *exitCode;
  }
  const bool demo = commandLine.isSet(QStringLiteral("demo"));
  if (!hasDisplay()) {
    std::fprintf(
        stderr,
        "vexhaltools: no graphical display here (neither DISPLAY nor WAYLAND_DISPLAY is "
        "set).\nRun it on a desktop, or in a virtual display:  xvfb-run -a vexhaltools%s\n",
        demo ? " --demo" : "");
    return 1;
  }
  // The launcher's tokens for a window it may bring forward; Qt takes them from the environment
  // when it starts, and a running instance needs them to raise its window.
  const QString activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
  const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
  QApplication app(argc, argv);
  vexhal::AppDelegate::configureApplication();
  ostrane::setMainThreadPoster([](std::function<void()> task) {
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
  });

  vexhal::QSingleInstance instance(vexhal::QSingleInstance::defaultServerPath());
  if (!instance.claim(activationToken, startupId)) {
    return 0;
  }
  // The real devices, or the demo's virtual camera; the screens are handed it.
  std::optional<vexhal::Platform> devices;
  std::optional<vexhal::DemoSession> demoSession;
  if (!demo) {
    devices.emplace();
    devices->configureSharedManager();
  } else {
    demoSession.emplace();
    QString error;
    QString notice;
    if (!demoSession->start(&error, &notice)) {
      std::fprintf(stderr, "vexhaltools: the demo cannot start: %s\n", qPrintable(error));
      return 1;
    }
    if (!notice.isEmpty()) {
      std::fprintf(stderr, "vexhaltools: %s\n", qPrintable(notice));
    }
    std::printf("%s\n", qPrintable(vexhal::DemoSession::usageLine()));
    std::fflush(stdout);
  }
  vexhal::QTerminationSignals termination;
  QObject::connect(&termination, &vexhal::QTerminationSignals::terminationRequested, &app,
                   &QApplication::quit);
  vexhal::Platform& platform = demoSession ? demoSession->platform() : *devices;
  vexhal::useDesktopServices(platform);
  // One diagnostics export, for the root menu, the about screen and vexhalctl's requests.
  const auto logs = ostrane::ddLog().getLogger<ostrane::QFileLogger>();
  vexhal::diagnostics::DiagnosticsExport diagnostics(vexhal::USBHidManager::shared(), platform,
                                                     logs);
  vexhal::QDiagnosticsSupport support(
      diagnostics, platform,
      logs ? QString::fromStdString(logs->getLogConfig()->cacheDir()) : QString());
  vexhal::AppDelegate delegate(platform, &support);
  // The demo's virtual camera answers its control lines from the window's "Demo" menu and from
  // `vexhalctl demo`.
  std::function<QString(const QString&)> demoCommands;
  if (demoSession) {
    demoCommands = [session = &*demoSession](const QString& line) {
      return session->command(line);
    };
    delegate.setDemoCommands(demoCommands);
  }
  QObject::connect(&instance, &vexhal::QSingleInstance::activationRequested, &delegate,
                   &vexhal::AppDelegate::applicationShouldHandleReopen);
  delegate.applicationDidFinishLaunching(commandLine.isSet(QStringLiteral("background")));
  // vexhalctl's requests, carried out on the program's own cameras; the keeper is told the
  // values they set, so it does not undo them.
  vexhal::control::CameraCommandRunner runner(vexhal::USBHidManager::shared(), platform,
                                              vexhal::RNetManager::share(), vexhal::QDataBase(),
                                              delegate.keeper());
  runner.useDiagnostics(diagnostics);
  vexhal::ControlRequestServer requests(runner);
  requests.setDemoCommands(demoCommands);
  QObject::connect(&instance, &vexhal::QSingleInstance::requestReceived, &requests,
                   &vexhal::ControlRequestServer::handle);
  return QApplication::exec();
}
