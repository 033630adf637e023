#pragma once

// Helpers for the logging library's tests: a scratch directory, a clock the test sets by hand,
// file and process helpers (the in-memory handler is in MemoryLog.h).

#include <ostrane/ostrane.h>

#include "Clock.h"
#include "MemoryLog.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace ostrane::test {

class TempDir {
 public:
  TempDir() : path_((std::filesystem::temp_directory_path() / "ostrane-test-XXXXXX").string()) {
    if (!mkdtemp(path_.data())) std::abort();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A clock the test moves by hand, installed for the whole test process; starts at a local time
// given as "yyyy-MM-dd HH:mm:ss".
class ManualClock {
 public:
  static void install(const char* localTime) {
    std::tm tm{};
    strptime(localTime, "%Y-%m-%d %H:%M:%S", &tm);
    tm.tm_isdst = -1;
    installNs(static_cast<std::int64_t>(mktime(&tm)) * 1000000000);
  }
  static void installNs(std::int64_t value) {
    ns() = value;
    detail::setClockForTesting([] { return ns().load(); });
  }
  static void advance(std::int64_t seconds) { ns() += seconds * 1000000000; }

 private:
  static std::atomic<std::int64_t>& ns() {
    static std::atomic<std::int64_t> value{0};
    return value;
  }
};

inline std::string readFile(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

inline std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(readFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Names of the entries directly in a directory, sorted.
inline std::vector<std::string> fileNames(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command and returns its exit status.
inline int runCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ostrane::test
