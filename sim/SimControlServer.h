#pragma once

#include <QLocalServer>
#include <QString>

#include <functional>

namespace vexhal::sim {

// A local socket on which a running program takes control lines (from the vexhal-sim tool)
// and answers each with one line. Runs on the thread that creates it (the main thread).
class SimControlServer {
 public:
  using Handler = std::function<QString(const QString& line)>;

  explicit SimControlServer(Handler handler);
  SimControlServer(const SimControlServer&) = delete;
  SimControlServer& operator=(const SimControlServer&) = delete;
  ~SimControlServer();

  // Listens under `name` (a stale socket of a program that died is removed first). A name
  // without a folder lives in socketFolder(). Returns false with the reason in `error`.
  bool listen(const QString& name, QString* error = nullptr);

  // The user's private folder for control sockets: $XDG_RUNTIME_DIR, or else a 0700 folder of
  // the user's in the temporary folder (made when `create`). Empty, with the reason in
  // `error`, when that folder is not the user's own or others may write to it.
  static QString socketFolder(bool create, QString* error = nullptr);
  // Where the socket named `name` lives: `name` itself when it is a path, else in
  // socketFolder(). Empty with the reason in `error` when its folder is not private.
  static QString socketPath(const QString& name, bool create, QString* error = nullptr);
  QString fullServerName() const { return server_.fullServerName(); }

  static constexpr qint64 kMaxLineLength = 4096;

 private:
  void acceptConnections();

  Handler handler_;
  QLocalServer server_;
};

}  // namespace vexhal::sim
