#include "app/QTerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ostrane/ostrane.h>

#include <array>
#include <cerrno>

namespace vexhal {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};
int writeEnd = -1;  // written by the signal handler only
int readEnd = -1;

void onSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
  errno = saved;
}

}  // namespace

QTerminationSignals::QTerminationSignals(QObject* parent) : QObject(parent) {
  int fds[2];
  if (writeEnd >= 0 ||
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
    QLog("App, terminationSignals, not installed");
    return;
  }
  readEnd = fds[0];
  writeEnd = fds[1];
  notifier_ = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &QTerminationSignals::drain);
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : kSignals) {
    ::sigaction(number, &action, nullptr);
  }
}

QTerminationSignals::~QTerminationSignals() {
  if (!notifier_) {
    return;
  }
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (const int number : kSignals) {
    ::sigaction(number, &action, nullptr);
  }
  notifier_.reset();
  ::close(readEnd);
  ::close(writeEnd);
  readEnd = writeEnd = -1;
}

void QTerminationSignals::drain() {
  unsigned char byte = 0;
  while (::read(readEnd, &byte, 1) == 1) {
    QLog("App, terminationSignals, signal", static_cast<int>(byte));
    Q_EMIT terminationRequested(byte);
  }
}

}  // namespace vexhal
