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

  // Listens under `name` (a stale socket of a program that died is removed first). Returns
  // false with the reason in `error`.
  bool listen(const QString& name, QString* error = nullptr);
  QString fullServerName() const { return server_.fullServerName(); }

  static constexpr qint64 kMaxLineLength = 4096;

 private:
  void acceptConnections();

  Handler handler_;
  QLocalServer server_;
};

}  // namespace vexhal::sim
