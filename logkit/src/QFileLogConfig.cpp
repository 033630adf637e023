#include <ostrane/QFileLogConfig.h>

#include "AppDirs.h"

namespace ostrane {

QFileLogConfig::QFileLogConfig() : cacheDir_(detail::cachesDirectory() + "/QLogs") {}

QFileLogConfig::QFileLogConfig(std::string cacheDir) : cacheDir_(std::move(cacheDir)) {}

std::string QFileLogConfig::cacheDir() const {
  std::lock_guard lock(mutex_);
  return cacheDir_;
}

void QFileLogConfig::setCacheDir(std::string dir) {
  std::lock_guard lock(mutex_);
  cacheDir_.swap(dir);
}

}  // namespace ostrane
