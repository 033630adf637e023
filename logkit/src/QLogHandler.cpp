#include <ostrane/QLogHandler.h>
#include <ostrane/QLoggerObserver.h>

namespace ostrane {

QLogHandler::~QLogHandler() = default;

std::string QLogHandler::formatLog(const QLogMsg& msg) const { return msg.formatLog(); }

void QLogHandler::flush() {}

QLoggerObserver::~QLoggerObserver() = default;

}  // namespace ostrane
