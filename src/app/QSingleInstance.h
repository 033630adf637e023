#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

namespace vexhal {

// Keeps one running program per user. The first process listens on a local socket in the
// user's runtime directory; a later one finds it there, asks it to show its window ("activate",
// with the tokens its launcher gave it, so that the desktop lets the window come forward) and
// ends. Any other first line a peer sends is handed on as a request (vexhalctl's). A peer
// that sends no line within ControlSocketProtocol::kRequestDeadline, or a line longer than
// kMaxRequestBytes, is closed.
class QSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit QSingleInstance(QString serverPath, QObject* parent = nullptr);

  // "$XDG_RUNTIME_DIR/vexhaltools.socket" (a per-user directory).
  static QString defaultServerPath();

  // True when this process is now the running instance. False when another instance answered;
  // it has been asked to bring its window to the front and given this launch's
  // XDG_ACTIVATION_TOKEN (Wayland) and DESKTOP_STARTUP_ID (X11), either of which may be empty.
  // A socket left behind by a crashed instance is replaced. If listening fails the program
  // still runs, alone or not.
  bool claim(const QString& activationToken = {}, const QString& startupId = {});
  bool isListening() const { return server_.isListening(); }

 Q_SIGNALS:
  // Another launch asked this instance to show its window, with its launcher's tokens (empty
  // when it had none).
  void activationRequested(const QString& activationToken, const QString& startupId);
  // A peer sent `line` (its newline removed). The receiver answers on `peer` and closes it; the
  // peer is deleted once it is disconnected, so keep it in a QPointer.
  void requestReceived(QLocalSocket* peer, const QByteArray& line);

 private:
  void accept(QLocalSocket* peer);
  void readLine(QLocalSocket* peer);

  QString serverPath_;
  QLocalServer server_;
};

}  // namespace vexhal
