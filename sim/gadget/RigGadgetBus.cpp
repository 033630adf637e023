#include "RigGadgetBus.h"

#include <QProcess>
#include <QTimer>

#include <sstream>

namespace vexhal::sim {

RigGadgetBus::RigGadgetBus(std::string unplugCommand, std::string plugCommand)
    : unplugCommand_(std::move(unplugCommand)), plugCommand_(std::move(plugCommand)) {}

RigGadgetBus::~RigGadgetBus() {
  if (running_) {
    running_->disconnect();
    running_->kill();
    running_->waitForFinished(1000);
  }
}

std::map<std::string, std::string> RigGadgetBus::parseExports(const std::string& text) {
  std::map<std::string, std::string> exports;
  std::istringstream lines(text);
  std::string line;
  static constexpr std::string_view kPrefix = "export ";
  while (std::getline(lines, line)) {
    if (!line.starts_with(kPrefix)) {
      continue;
    }
    const std::size_t equals = line.find('=', kPrefix.size());
    if (equals == std::string::npos || equals == kPrefix.size()) {
      continue;
    }
    std::string value = line.substr(equals + 1);
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    exports[line.substr(kPrefix.size(), equals - kPrefix.size())] = value;
  }
  return exports;
}

void RigGadgetBus::setAttached(bool attached, Done done) {
  queue_.emplace_back(attached, std::move(done));
  if (!running_) {
    runNext();
  }
}

void RigGadgetBus::runNext() {
  if (queue_.empty()) {
    return;
  }
  runningAttach_ = queue_.front().first;
  running_ = std::make_unique<QProcess>();
  running_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QObject::connect(running_.get(), &QProcess::finished, &context_,
                   [this](int exitCode, QProcess::ExitStatus status) {
                     finished(status == QProcess::NormalExit && exitCode == 0);
                   });
  QObject::connect(running_.get(), &QProcess::errorOccurred, &context_,
                   [this](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) {
                       finished(false);
                     }
                   });
  running_->start(QString::fromStdString(runningAttach_ ? plugCommand_ : unplugCommand_), {});
}

void RigGadgetBus::finished(bool ok) {
  if (!running_ || queue_.empty()) {
    return;
  }
  if (ok && runningAttach_) {
    const QByteArray output = running_->readAllStandardOutput();
    nodes_ = parseExports(output.toStdString());
    for (const auto& [name, value] : nodes_) {
      qputenv(name.c_str(), QByteArray::fromStdString(value));
    }
  }
  // The process object is still inside its own signal; it is deleted on the next loop turn.
  running_.release()->deleteLater();
  Done done = std::move(queue_.front().second);
  queue_.pop_front();
  if (done) {
    done(ok);
  }
  QTimer::singleShot(0, &context_, [this] {
    if (!running_) {
      runNext();
    }
  });
}

}  // namespace vexhal::sim
