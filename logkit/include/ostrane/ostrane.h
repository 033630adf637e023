#pragma once

// Ostrane, the logging library. Including this header makes QLog, VerboseLog, WarnLog and
// ErrorLog usable without qualification.

#include <ostrane/LogFuncOC.h>
#include <ostrane/LogItems.h>
#include <ostrane/LogLevel.h>
#include <ostrane/Logging.h>
#include <ostrane/QCmdLogger.h>
#include <ostrane/QDebugFileLogger.h>
#include <ostrane/QFileLogConfig.h>
#include <ostrane/QFileLogger.h>
#include <ostrane/QLogHandler.h>
#include <ostrane/QLogMsg.h>
#include <ostrane/QLogger.h>
#include <ostrane/QLoggerObserver.h>
#include <ostrane/QlogFileModel.h>

using ostrane::ErrorLog;
using ostrane::QLog;
using ostrane::VerboseLog;
using ostrane::WarnLog;
