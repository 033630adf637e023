// vexhalctl: the camera operations from the command line. When the program runs, it holds the
// cameras' HID nodes, so the request goes to it over its single-instance socket; otherwise the
// cameras are opened here, on a device layer of this process's own.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaObject>

#include <ostrane/ostrane.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/CameraMonitoring.h"
#include "app/QSingleInstance.h"
#include "cli/CtlCommandLine.h"
#include "cli/CtlOutput.h"
#include "cli/ProgressPrinter.h"
#include "cli/SocketRoute.h"
#include "control/CameraCommandRunner.h"
#include "device/hid/USBHidManager.h"
#include "diagnostics/DiagnosticsExport.h"
#include "net/RNetManager.h"
#include "net/ServiceEndpoint.h"
#include "platform/Platform.h"

OSTRANE_DISPLAY_NAME("vexhalctl")

namespace {

// A running program answers its socket at once; a longer wait means none is there to ask.
constexpr std::chrono::milliseconds kConnectBound{1000};

void write(std::FILE* stream, const QByteArray& bytes) {
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
  std::fflush(stream);
}

// A reader of the program's log folder, found from this process's own.
std::shared_ptr<ostrane::QFileLogger> programLogs() {
  const auto own = ostrane::ddLog().getLogger<ostrane::QFileLogger>();
  if (!own) return nullptr;
  // By name only: this process's folder may not exist yet.
  const QString logs = QDir::cleanPath(QString::fromStdString(own->getLogConfig()->cacheDir()) +
                                       QStringLiteral("/../../VexhalTools/QLogs"));
  auto reader = std::make_shared<ostrane::QFileLogger>(
      std::make_shared<ostrane::QFileLogConfig>(QFile::encodeName(logs).toStdString()));
  reader->setConsoleListingLine(false);
  return reader;
}

}  // namespace

int main(int argc, char** argv) {
  // A file that reaches the size limit (ulimit -f) then fails to grow instead of ending us.
  std::signal(SIGXFSZ, SIG_IGN);
  // Scripts read the answer from stdout, so Ostrane keeps its console line off it.
  if (const auto logs = ostrane::ddLog().getLogger<ostrane::QFileLogger>()) {
    logs->setConsoleListingLine(false);
  }
  QCoreApplication app(argc, argv);
  // The program's names: the image settings that save records go where the program reads them.
  QCoreApplication::setOrganizationName(QStringLiteral("VexhalTools"));
  QCoreApplication::setApplicationName(QStringLiteral("VexhalTools"));
  ostrane::setMainThreadPoster([](std::function<void()> task) {
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
  });

  vexhal::cli::CtlCommandLine commandLine;
  QString out;
  QString err;
  const std::optional<int> early = commandLine.parse(QCoreApplication::arguments(), out, err);
  write(stdout, out.toLocal8Bit());
  write(stderr, err.toLocal8Bit());
  if (early) return *early;
  const vexhal::cli::CtlOptions& options = commandLine.options();

  QFile errorStream;
  errorStream.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
  vexhal::cli::ProgressPrinter progressPrinter(errorStream, isatty(STDERR_FILENO) == 1);
  const auto progress = [&progressPrinter](int percent) { progressPrinter.show(percent); };
  vexhal::control::ControlReply reply;
  const auto done = [&reply](const vexhal::control::ControlReply& got) {
    reply = got;
    QCoreApplication::exit();
  };

  vexhal::cli::SocketRoute socketRoute(vexhal::QSingleInstance::defaultServerPath());
  // Declared in the order they depend on each other, so they go in the reverse one.
  std::optional<vexhal::Platform> platform;
  std::unique_ptr<vexhal::USBHidManager> manager;
  std::unique_ptr<vexhal::RNetManager> net;
  std::unique_ptr<vexhal::diagnostics::DiagnosticsExport> diagnostics;
  std::unique_ptr<vexhal::control::CameraCommandRunner> runner;
  if (socketRoute.connectToProgram(kConnectBound)) {
    QLog("vexhalctl, sent to the running program:",
         vexhal::control::commandWord(options.request.command).toStdString());
    socketRoute.run(options.request, progress, done);
  } else {
    platform.emplace();
    manager = std::make_unique<vexhal::USBHidManager>(platform->makeDiscovery());
    manager->startMonitoringForVendorID(vexhal::kCameraVendorId, vexhal::kCameraProductId);
    net = std::make_unique<vexhal::RNetManager>();
    net->config(vexhal::serviceHost, vexhal::servicePort);
    runner = std::make_unique<vexhal::control::CameraCommandRunner>(*manager, *platform, *net);
    // Support needs the program's logs: its folder sits beside this process's own
    // (".../vexhalctl/QLogs" and ".../VexhalTools/QLogs"), and is only read here.
    if (options.request.command == vexhal::control::ControlRequest::Command::Diagnostics) {
      diagnostics = std::make_unique<vexhal::diagnostics::DiagnosticsExport>(*manager, *platform,
                                                                             programLogs());
      runner->useDiagnostics(*diagnostics);
    }
    runner->run(options.request, progress, done);
  }
  QCoreApplication::exec();
  progressPrinter.finish();
  write(stdout,
        vexhal::cli::CtlOutput::standardOutput(options.request.command, reply, options.json));
  write(stderr, vexhal::cli::CtlOutput::errorOutput(options.request.command, reply));
  return static_cast<int>(reply.exit);
}
