// vexhal-sim: sends one control line to a program that hosts a virtual camera and prints the
// answer. Exit status: 0 for "ok", 1 for "error", 2 when the program cannot be reached.
#include <QCoreApplication>
#include <QLocalSocket>
#include <QStringList>
#include <QTextStream>

#include "SimControlServer.h"

namespace {

constexpr int kTimeoutMs = 5000;

void usage(QTextStream& out) {
  out << "usage: vexhal-sim [--server NAME] COMMAND...\n"
         "  (NAME, \"vexhal-sim\" by default, lives in $XDG_RUNTIME_DIR unless it is a path)\n"
         "  plug | unplug | status | restart-delay MS | help\n"
         "  fault error COMMAND CODE | fault no-reply COMMAND | fault garbage COMMAND\n"
         "  fault slow MS | fault detach-after PACKET | fault never-return on|off\n"
         "  fault 4k on|off | fault clear\n"
         "COMMAND names: state version serial capture-info get-/set-framing get-/set-framing-mode\n"
         "  get-/set-people-box get-/set-pickup get-/set-mirror get-/set-angle save\n"
         "  upgrade-start upgrade-data upgrade-finish, or a code such as 0x50a1\n";
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  QStringList args = QCoreApplication::arguments().mid(1);
  QString server = QStringLiteral("vexhal-sim");
  if (args.size() >= 2 && args.first() == QLatin1String("--server")) {
    server = args[1];
    args = args.mid(2);
  }
  if (args.isEmpty() || args.first() == QLatin1String("--help")) {
    usage(args.isEmpty() ? err : out);
    return args.isEmpty() ? 2 : 0;
  }
  QString folderError;
  const QString path = vexhal::sim::SimControlServer::socketPath(server, false, &folderError);
  if (path.isEmpty()) {
    err << "vexhal-sim: cannot reach " << server << ": " << folderError << "\n";
    return 2;
  }
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(kTimeoutMs)) {
    err << "vexhal-sim: cannot reach " << server << ": " << socket.errorString()
        << " (is the program running with a virtual camera?)\n";
    return 2;
  }
  socket.write(args.join(QLatin1Char(' ')).toUtf8() + '\n');
  socket.flush();
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(kTimeoutMs)) {
      err << "vexhal-sim: no answer from " << server << "\n";
      return 2;
    }
  }
  const QString answer = QString::fromUtf8(socket.readLine()).trimmed();
  out << answer << "\n";
  return answer.startsWith(QLatin1String("ok")) ? 0 : 1;
}
