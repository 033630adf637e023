#include "AppDirs.h"

#include <ostrane/Logging.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ostrane::detail {
namespace {

std::mutex& nameMutex() {
  static std::mutex m;
  return m;
}

std::string& registeredName() {
  static std::string name;
  return name;
}

std::string executableName() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  std::string path(buf.data(), static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return safeComponent(slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir &&
      *result->pw_dir == '/')
    return result->pw_dir;
  return {};
}

bool isPrivateDirectory(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

bool registerDisplayName(const char* name) noexcept {
  try {
    std::lock_guard lock(nameMutex());
    registeredName() = safeComponent(name ? name : "");
    return true;
  } catch (...) {
    return false;
  }
}

std::string displayName() {
  {
    std::lock_guard lock(nameMutex());
    if (!registeredName().empty()) return registeredName();
  }
  static const std::string exe = executableName();
  return exe;
}

std::string safeComponent(std::string name) {
  constexpr std::size_t kMaxBytes = 200;
  if (name.size() > kMaxBytes) {
    std::size_t cut = kMaxBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  for (char& c : name)
    if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '_';
  if (name == "." || name == "..") name.assign(name.size(), '_');
  return name;
}

std::string cachesDirectory() {
  std::string name = displayName();
  if (name.empty()) name = "ostrane";
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
    return std::string(xdg) + "/" + name;
  if (std::string home = homeDirectory(); !home.empty()) return home + "/.cache/" + name;
  return privateTempDirectory("/tmp", name);
}

std::string privateTempDirectory(const std::string& root, const std::string& name) {
  struct Chosen {
    std::mutex mutex;
    std::map<std::string, std::string> byWanted;
  };
  static auto* chosen = new Chosen;  // never destroyed: loggers may be made during exit
  const std::string wanted = root + "/" + name + "-" + std::to_string(getuid());
  std::lock_guard lock(chosen->mutex);
  if (auto it = chosen->byWanted.find(wanted);
      it != chosen->byWanted.end() && isPrivateDirectory(it->second))
    return it->second;
  std::string result = wanted;
  if ((mkdir(wanted.c_str(), 0700) != 0 && errno != EEXIST) || !isPrivateDirectory(wanted)) {
    // Another user's directory, or a link, could read or redirect the logs: use one of our own.
    result = wanted + "-XXXXXX";
    if (!mkdtemp(result.data())) result = "/dev/null/" + name;
  }
  chosen->byWanted[wanted] = result;
  return result;
}

}  // namespace ostrane::detail
