#include "AppDirs.h"

#include <ostrane/Logging.h>

#include <cstdlib>
#include <mutex>
#include <pwd.h>
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
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

} // namespace

bool registerDisplayName(const char* name) noexcept {
    try {
        std::lock_guard lock(nameMutex());
        registeredName() = name ? name : "";
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

std::string cachesDirectory() {
    std::string name = displayName();
    if (name.empty()) name = "ostrane";
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/" + name;
    if (std::string home = homeDirectory(); !home.empty()) return home + "/.cache/" + name;
    return "/tmp/" + name + "-" + std::to_string(getuid());
}

} // namespace ostrane::detail
