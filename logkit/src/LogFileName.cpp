#include "LogFileName.h"

#include <charconv>

namespace ostrane::detail {

std::string logFileName(std::string_view displayName, std::string_view stamp, std::int64_t slice) {
    std::string name;
    name.append(displayName).append("_").append(stamp).append("_").append(std::to_string(slice)).append(".log");
    return name;
}

std::int64_t sliceOfLogFileName(std::string_view path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) path = path.substr(0, dot);
    const auto underscore = path.rfind('_');
    std::string_view piece = underscore == std::string_view::npos ? path : path.substr(underscore + 1);
    if (!piece.empty() && piece.front() == '+') {
        piece.remove_prefix(1);
        if (!piece.empty() && piece.front() == '-') return 0;
    }
    if (piece.empty()) return 0;
    std::int64_t value = 0;
    const auto res = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (res.ec != std::errc() || res.ptr != piece.data() + piece.size()) return 0;
    return value;
}

} // namespace ostrane::detail
